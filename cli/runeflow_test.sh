#!/bin/sh
# The runeflow command as users meet it: stage order, input and output, the -o guarantee (links, long
# names, owners, read-only files, signals), exit codes and messages with the system's reasons, reads
# that fail part way, full devices, closed descriptors, a memory limit, the limits of tables and the
# lines their reports show, the listing and the options.
# Usage: runeflow_test.sh PATH-TO-RUNEFLOW PATH-TO-FAILING-READS-LIBRARY
# RUNEFLOW_SANITIZED set: the program runs under the sanitizers (no memory limit leaves them room).
set -u
runeflow=$1
failing_reads=$2
. "$(cd "$(dirname "$0")" && pwd)/../tests/support/check.sh"
work=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$work"' EXIT
chmod 755 "$work"  # another user runs the program in a folder of its own below
cd "$work" || exit 1
# Two tables whose order matters, and a set of our own.
mkdir own
printf '"a" "b"\n' > own/ab.sub
printf '"b" "c"\n' > own/bc.sub
printf '"x%%V;" 10 "x"\n' > own/keep.sub
printf '"<%%L>" 5000 ""\n' > own/long.sub
printf '!\n038\tB\tamp\n059\tE\tsemi\n065\t\tA\n097\t\ta\n098\t\tb\n099\t\tc\n120\t\tx\n' > own/tiny.chs
printf '038\tB\tamp\n' > own/broken.chs

check "stages run in the order given" "ccc" "$(printf 'abc' | "$runeflow" -d own -t ab:tiny -t bc 2>&1)"
check "the other order" "bcc" "$(printf 'abc' | "$runeflow" -d own -t bc:tiny -t ab 2>&1)"
check "a table takes the set the text is in" "b" \
  "$(printf 'a' | "$runeflow" -d own -c latin1:tiny -t ab 2>&1)"
check "RUNEFLOW_PATH is searched" "b" "$(printf 'a' | RUNEFLOW_PATH="/nonexistent:$work/own" "$runeflow" -t ab:tiny 2>&1)"
check "a name with a slash is a file" "b" "$(printf 'a' | "$runeflow" -t own/ab:own/tiny 2>&1)"
check "shipped sets without options" "caf&eacute;" "$(printf 'caf\351' | "$runeflow" -c latin1:ascii 2>&1)"

printf 'one\n' > one.txt
printf 'two\n' > two.txt
check "files are one text, in order, with standard input as -" "$(printf 'one\nmid\ntwo')" \
  "$(printf 'mid\n' | "$runeflow" one.txt - two.txt 2>&1)"

# -o writes the whole result or leaves the file as it was.
printf 'old\n' > out.txt
chmod 640 out.txt
"$runeflow" -o out.txt one.txt
check "-o writes the result" "one" "$(cat out.txt)"
check "-o keeps the file's permissions" "640" "$(stat -c %a out.txt)"
printf 'old\n' > out.txt
"$runeflow" -o out.txt one.txt missing.txt 2>/dev/null
check "an input that cannot be read: exit 3, old file kept" "3 old" "$? $(cat out.txt)"
printf '<%05000d>' 0 > long.txt
"$runeflow" -d own -t long:latin1 -o out.txt long.txt 2>err.txt
check "a run that fails: exit 1" "1" "$?"
check "a run that fails: the old file is kept" "old" "$(cat out.txt)"
check "a run that fails: the engine's reason" "runeflow: Stream: Environment string too long" "$(cat err.txt)"
check "no file is left beside the output" "out.txt" "$(ls | grep out)"
ln -s out.txt link.txt
"$runeflow" -o link.txt two.txt
check "-o through a symbolic link replaces the file it points to" "link two" \
  "$(test -L link.txt && echo link) $(cat out.txt)"
ln -s new.txt dangling.txt
"$runeflow" -o dangling.txt one.txt
check "-o through a dangling link creates the file it points to" "link one" \
  "$(test -L dangling.txt && echo link) $(cat new.txt)"
long=$(printf '%0255d' 0)
"$runeflow" -o "$long" one.txt 2>err.txt
check "-o to a name of the longest length a file system takes" "0 one" "$? $(cat "$long" 2>&1)"
rm -f "$long" new.txt dangling.txt
"$runeflow" -o one.txt one.txt two.txt
check "-o to one of the inputs" "$(printf 'one\ntwo')" "$(cat one.txt)"
printf 'one\n' > one.txt

# Owners and write permission. As root: a file of another user keeps its owner and group; another
# user (a made-up id, nothing is added to the system) meets the limits that the system sets.
if [ "$(id -u)" = 0 ]; then
  printf 'old\n' > theirs.txt
  chown 4242:4343 theirs.txt
  chmod 640 theirs.txt
  "$runeflow" -o theirs.txt one.txt
  check "root keeps the owner, group and permissions of another user's file" "4242:4343 640 one" \
    "$(stat -c '%u:%g %a' theirs.txt) $(cat theirs.txt)"
  as_user() { setpriv --reuid=4242 --regid=4242 --clear-groups "$@"; }
  mkdir shared && chmod 777 shared
  printf 'old\n' > shared/other.txt
  chown 4444:4444 shared/other.txt
  chmod 666 shared/other.txt
  as_user "$runeflow" -o shared/other.txt one.txt
  check "a user who may not keep the owner becomes it, the permissions stay" "0 4242:4242 666 one" \
    "$? $(stat -c '%u:%g %a' shared/other.txt) $(cat shared/other.txt)"
else
  as_user() { "$@"; }
  mkdir shared
fi
printf 'old\n' > shared/readonly.txt
chmod 444 shared/readonly.txt
[ "$(id -u)" = 0 ] && chown 4242 shared/readonly.txt
as_user "$runeflow" -o shared/readonly.txt one.txt 2>err.txt
check "a read-only file is not replaced" "3 runeflow: can't write shared/readonly.txt: Permission denied old" \
  "$? $(cat err.txt) $(cat shared/readonly.txt)"
mkdir shared/sets
printf '!\n' > shared/sets/secret.chs
chmod 000 shared/sets/secret.chs
as_user "$runeflow" -d shared/sets -c secret </dev/null 2>err.txt
check "a set that cannot be read is not taken for a missing one" \
  "3 runeflow: -c secret: Convert: Can't open $work/shared/sets/secret.chs: Permission denied" \
  "$? $(cat err.txt)"

# Signals during a run with -o: the new file beside the output is removed and the program ends by the
# signal. The run reads a pipe that this shell holds open on descriptor 3, so it waits there.
mkfifo input.fifo
exec 3<>input.fifo
# Starts runeflow -o out.txt in the background on the pipe (with the options given, before the
# program) and waits until its new file is there.
start_waiting_run() {
  env "$@" "$runeflow" -o out.txt <input.fifo 3<&- &
  pid=$!
  tries=0
  until ls | grep -q '^runeflow' || [ $tries -ge 100 ]; do sleep 0.05; tries=$((tries + 1)); done
}
# Waits at most five seconds for the run to end (then kills it) and sets status to its exit status.
wait_for_run() {
  tries=0
  while kill -0 "$pid" 2>/dev/null && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid"
  status=$?
}
printf 'old\n' > out.txt
for signal in INT:130 TERM:143 HUP:129 PIPE:141; do
  start_waiting_run --default-signal="${signal%:*}"
  kill -s "${signal%:*}" "$pid"
  wait_for_run
  check "SIG${signal%:*}: the run ends by the signal, the file is kept, nothing is left beside it" \
    "${signal#*:} old out.txt" "$status $(cat out.txt) $(ls | grep out)"
  check "SIG${signal%:*}: no new file is left" "" "$(ls | grep '^runeflow')"
done
start_waiting_run --ignore-signal=HUP
kill -s HUP "$pid"
printf 'new\n' >&3
exec 3>&-
wait_for_run
check "an ignored signal stays ignored: the run goes on to the end" "0 new" "$status $(cat out.txt)"

# UTF-8: "utf8" names UTF-8 text in a conversion; invalid UTF-8 fails the run and -o keeps the old file.
check "UTF-8 into Latin-1 and back" "$(printf 'caf\351 &euro;|caf\303\251 \342\202\254')" \
  "$(printf 'caf\303\251 \342\202\254' | "$runeflow" -c utf8:latin1 2>&1)|$(printf 'caf\351 &euro;' | "$runeflow" -c latin1:utf8 2>&1)"
check "UTF-8 spelled as other converters spell it" "$(printf 'caf\351|caf\351|caf\303\251')" \
  "$(printf 'caf\303\251' | "$runeflow" -c UTF-8:latin1 2>&1)|$(printf 'caf\303\251' | "$runeflow" -c utf-8:latin1 2>&1)|$(printf 'caf&eacute;' | "$runeflow" -c latin1:Utf8 2>&1)"
check "-c utf8 resolves the references of UTF-8 text" "$(printf '\303\251 \342\200\246 ^')" \
  "$(printf '&eacute; &#x2026; &circ;' | "$runeflow" -c utf8 2>&1)"
printf 'old\n' > out.txt
printf 'ab\200c' | "$runeflow" -c utf8:latin1 -o out.txt 2>err.txt
check "invalid UTF-8: exit 1, its offset, the old file kept, nothing beside it" \
  "1 runeflow: Stream: Invalid UTF-8 at byte offset 2: continuation byte without a lead byte old out.txt" \
  "$? $(cat err.txt) $(cat out.txt) $(ls | grep out)"
printf '\303' | "$runeflow" -c utf8 >result.txt 2>err.txt
check "invalid UTF-8: nothing on standard output" "1 0 runeflow: Stream: Invalid UTF-8 at byte offset 0: sequence cut short" \
  "$? $(wc -c <result.txt) $(cat err.txt)"

# In place: each file on its own, replaced only when its whole run succeeded; -j runs several at once.
printf '"<t>%%t</t>" 100 ""\n"@" "%%t"\n' > own/title.sub
for jobs in 1 3; do
  mkdir place
  printf 'caf\303\251' > place/a.txt
  printf 'bad \200' > place/b.txt
  printf '\342\202\254' > place/c.txt
  chmod 640 place/a.txt
  (cd place && "$runeflow" -c utf8:latin1 --in-place -j $jobs a.txt b.txt missing.txt c.txt 2>../err.txt)
  check "in place, $jobs at once: exit 1 when a file failed" "1" "$?"
  check "in place, $jobs at once: the others converted" "$(printf 'caf\351')|&euro;" "$(cat place/a.txt)|$(cat place/c.txt)"
  check "in place, $jobs at once: a failed file as it was" "$(printf 'bad \200')" "$(cat place/b.txt)"
  check "in place, $jobs at once: each failure names its file" \
    "runeflow: Stream: Can't open missing.txt: No such file or directory|runeflow: b.txt: Stream: Invalid UTF-8 at byte offset 4: continuation byte without a lead byte" \
    "$(LC_ALL=C sort err.txt | tr '\n' '|' | sed 's/|$//')"
  check "in place, $jobs at once: permissions kept, nothing left beside the files" "640 a.txt b.txt c.txt" \
    "$(stat -c %a place/a.txt) $(ls place | tr '\n' ' ' | sed 's/ $//')"
  printf '<t>one</t>@' > place/1.txt
  printf '@' > place/2.txt
  T=start "$runeflow" -d own -t title:latin1 -i -j $jobs place/1.txt place/2.txt 2>err.txt
  check "in place, $jobs at once: every file starts with the variables the command started with" "0 one|start" \
    "$? $(cat place/1.txt)|$(cat place/2.txt)"
  rm -r place
done
"$runeflow" -c latin1 -i - 2>err.txt </dev/null
check "in place: standard input is refused" "2 runeflow: --in-place cannot replace standard input (-)" \
  "$? $(head -1 err.txt)"

# Exit codes and messages.
"$runeflow" --bogus 2>err.txt
check "unknown option: exit 2" "2 runeflow: unknown option --bogus" "$? $(head -1 err.txt)"
"$runeflow" -t ab 2>err.txt </dev/null
check "a table without a set: exit 2" "2 runeflow: -t ab: the text's character set is needed (-t ab:SET)" \
  "$? $(head -1 err.txt)"
"$runeflow" -c nosuch:latin1 2>err.txt </dev/null
check "a set that is not found: exit 3" "3" "$?"
case $(cat err.txt) in "runeflow: -c nosuch:latin1: no character set \"nosuch\" in "*) ;;
  *) check "message for a set that is not found" "runeflow: -c nosuch:latin1: no character set ..." "$(cat err.txt)" ;; esac
"$runeflow" -d own -c broken 2>err.txt </dev/null
check "a set that does not load: exit 3 and the engine's message" \
  "3 runeflow: -c broken: Convert: $work/own/broken.chs: Missing end entity character" "$? $(cat err.txt)"
"$runeflow" missing.txt 2>err.txt
check "a missing input: exit 3 and why" "3 runeflow: Stream: Can't open missing.txt: No such file or directory" \
  "$? $(cat err.txt)"
"$runeflow" one.txt own 2>err.txt
check "a directory as input: exit 3 and why" "3 runeflow: Stream: I/O error 1 on $work/own: Is a directory" \
  "$? $(cat err.txt)"
"$runeflow" <&- 2>err.txt
check "a closed standard input: exit 3 and why" \
  "3 runeflow: Stream: I/O error 1 on standard input: Bad file descriptor" "$? $(cat err.txt)"
"$runeflow" one.txt >&- 2>err.txt
check "a closed standard output: exit 1 and why" \
  "1 runeflow: Stream: I/O error 1 on standard output: Bad file descriptor" "$? $(cat err.txt)"
printf 'old\n' > out.txt
"$runeflow" -o out.txt one.txt missing.txt 2>&-
check "a closed standard error: the exit status still tells, nothing is written" "3 old out.txt" \
  "$? $(cat out.txt) $(ls | grep out)"
if [ -w /dev/full ]; then
  "$runeflow" one.txt >/dev/full 2>err.txt
  check "a full device: exit 1 and why" \
    "1 runeflow: Stream: I/O error 1 on standard output: No space left on device" "$? $(cat err.txt)"
  "$runeflow" -o /dev/full one.txt 2>err.txt
  check "a full device as -o: exit 1 and why" \
    "1 runeflow: Stream: I/O error 1 on /dev/full: No space left on device" "$? $(cat err.txt)"
fi

# Out of memory: the whole text is held in memory, so a large input under a limit meets it.
if [ -z "${RUNEFLOW_SANITIZED:-}" ]; then
  printf 'old\n' > out.txt
  (ulimit -v 100000 && head -c 400000000 /dev/zero | "$runeflow" -c latin1 -o out.txt >printed.txt 2>err.txt)
  check "out of memory: exit 1, the engine's words" "1 runeflow: Memory allocation error" "$? $(cat err.txt)"
  check "out of memory: the file is kept, nothing beside it, nothing written" "old out.txt" \
    "$(cat out.txt) $(ls | grep out)$(cat printed.txt)"
fi

# Limits a table writer meets, and reports that show the line that failed.
string127=$(printf '%0127d' 0)
printf '"%s" "x"\n"%s0" "y"\n' "$string127" "$string127" > own/strings.sub
"$runeflow" -t own/strings.sub:latin1 </dev/null 2>err.txt
check "a string of 128 characters: refused, with its line" \
  "3 runeflow: -t own/strings.sub:latin1: Substitute: $work/own/strings.sub: String too long.|  \"${string127}0\" \"y\"||" \
  "$? $(tr '\n' '|' <err.txt)"
awk 'BEGIN { for (i = 1; i <= 601; i++) printf "\"w%d\" \"x\"\n", i }' > own/entries.sub
"$runeflow" -t own/entries.sub:latin1 </dev/null 2>err.txt
check "the 601st entry: refused, with its line" \
  "3 runeflow: -t own/entries.sub:latin1: Substitute: $work/own/entries.sub: Substitution table is longer than 600|  \"w601\" \"x\"||" \
  "$? $(tr '\n' '|' <err.txt)"
printf '#ALIAS "\\a" "q"\n#ALIAS "\\b" "\\a"\n"<\\*>" 0 "[\\*]" ignored "too"\n"\\b" "B"\n' > own/limits.sub
check "a wildcard limit of 0 is 40, trailing text is ignored, an alias value is taken as written" \
  "[$(printf '%040d' 0)] <$(printf '%041d' 0)> q \\B" \
  "$(printf '<%040d> <%041d> q \\a' 0 0 | "$runeflow" -t own/limits.sub:latin1 2>&1)"
deep=$(printf '%060d' 0)
mkdir -p "$deep"
printf '"%s" &nosuch; "x"\n' "$string127" > "$deep/t.sub"
"$runeflow" -t "$deep/t.sub:latin1" </dev/null 2>err.txt
check "a long report shows the line's beginning and end" "3 \"000...&nosuch; \"x\"" \
  "$? $(sed -n 2p err.txt | sed 's/^  \("000\).*\.\.\..*\(&nosuch; "x"\)$/\1...\2/')"

# Files whose reads fail part way: FILE BYTES COMMAND... runs the command with reads of FILE failing
# after BYTES bytes (the sanitizers' runtime must then accept a library loaded before it).
fail_reading() {
  file=$1 after=$2
  shift 2
  FAIL_READ_PATH=$file FAIL_READ_AFTER=$after LD_PRELOAD=$failing_reads \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$@"
}
printf '%05000d' 0 > big.txt
printf 'old\n' > out.txt
fail_reading "$work/big.txt" 1000 "$runeflow" -o out.txt "$work/big.txt" 2>err.txt
check "an input that fails part way: exit 3, its reason" \
  "3 runeflow: Stream: I/O error 1 on $work/big.txt: Input/output error" \
  "$? $(cat err.txt)"
check "an input that fails part way: the old file is kept, nothing beside it" "old out.txt" \
  "$(cat out.txt) $(ls | grep out)"
check "the failing library reads the rest of the file" "$(cat big.txt)" \
  "$(fail_reading "$work/big.txt" 99999 "$runeflow" "$work/big.txt" 2>&1)"
fail_reading "$work/own/tiny.chs" 20 "$runeflow" -d own -c tiny </dev/null 2>err.txt
check "a set file that fails part way" \
  "3 runeflow: -c tiny: Convert: I/O error 1 on $work/own/tiny.chs: Input/output error" \
  "$? $(cat err.txt)"
fail_reading "$work/own/keep.sub" 5 "$runeflow" -d own -t keep:tiny </dev/null 2>err.txt
check "a table file that fails part way" \
  "3 runeflow: -t keep:tiny: Substitute: I/O error 1 on $work/own/keep.sub: Input/output error" \
  "$? $(cat err.txt)"

# Variables, help, version, list.
check "variables that the run set, quoted for the shell" "V='it'\''s'" \
  "$(printf "xit's;" | V= "$runeflow" -d own -t keep:latin1 -v 2>&1 >/dev/null)"
"$runeflow" --help | grep -q '^Usage: runeflow ' || check "--help" "usage" "$("$runeflow" --help)"
check "--version" "$(printf 'Runeflow 3.0\nCobbleway edition')" "$("$runeflow" --version)"
"$runeflow" --list | grep -q '^  latin1 *ISO-8859-1' || check "--list shows the shipped sets" "latin1" "$("$runeflow" --list)"
"$runeflow" --list | grep -q '^  utf8 *UTF-8' || check "--list shows utf8" "utf8" "$("$runeflow" --list)"
"$runeflow" -d own --list | grep -q '^  ab ' || check "--list shows a -d directory" "ab" "$("$runeflow" -d own --list)"
"$runeflow" -d nowhere -d one.txt --list 2>&1 >/dev/null | sed 2q >err.txt
check "--list warns about a -d that is missing or no directory" \
  "$(printf 'runeflow: warning: -d nowhere: No such file or directory\nruneflow: warning: -d one.txt: Not a directory')" \
  "$(cat err.txt)"
printf 'a' | "$runeflow" -d nowhere -d own -t ab:tiny >out.txt 2>err.txt
check "a run warns about a bad -d and goes on" "0 b runeflow: warning: -d nowhere: No such file or directory" \
  "$? $(cat out.txt) $(cat err.txt)"
check "long options shortened" "ccc" "$(printf 'abc' | "$runeflow" --data=own --tab ab:tiny --ta=bc 2>&1)"
"$runeflow" --ver --v 2>err.txt >/dev/null
check "an ambiguous long option" "2 runeflow: option --v is ambiguous (--variables, --version)" \
  "$? $(head -1 err.txt)"

finish
