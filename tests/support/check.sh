# Shared by the shell tests: check NAME EXPECTED ACTUAL compares two texts and counts a failure;
# finish reports and exits with the number of failures.
failures=0

check() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: [%s]\n  actual:   [%s]\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

finish() {
  [ "$failures" -eq 0 ] && echo "all checks passed"
  exit "$failures"
}
