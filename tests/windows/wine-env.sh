# Sourced by the Windows test runners. wine_prefix PREFIX points Wine at PREFIX, silences Wine's own
# messages, keeps the Mono and Gecko installers from starting, and creates the prefix on first use
# (about 10 s); it is then reused.
wine_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$1/system.reg" ]; then
    mkdir -p "$1"
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}
