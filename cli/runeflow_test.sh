#!/bin/sh
# The runeflow command as users meet it: stage order, input and output, the -o guarantee, exit codes
# and messages, reads that fail part way and full devices.
# Usage: runeflow_test.sh PATH-TO-RUNEFLOW PATH-TO-FAILING-READS-LIBRARY
set -u
runeflow=$1
failing_reads=$2
. "$(cd "$(dirname "$0")" && pwd)/../tests/support/check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
check "a missing input: exit 3" "3 runeflow: Stream: Can't open missing.txt" "$? $(cat err.txt)"
if [ -w /dev/full ]; then
  "$runeflow" one.txt >/dev/full 2>err.txt
  check "a full device: exit 1" "1 runeflow: Stream: I/O error 1 on standard output" "$? $(cat err.txt)"
  "$runeflow" -o /dev/full one.txt 2>err.txt
  check "a full device as -o: exit 1" "1 runeflow: Stream: I/O error 1 on /dev/full" "$? $(cat err.txt)"
fi

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
check "an input that fails part way: exit 3, its reason" "3 runeflow: Stream: I/O error 1 on $work/big.txt" \
  "$? $(cat err.txt)"
check "an input that fails part way: the old file is kept, nothing beside it" "old out.txt" \
  "$(cat out.txt) $(ls | grep out)"
check "the failing library reads the rest of the file" "$(cat big.txt)" \
  "$(fail_reading "$work/big.txt" 99999 "$runeflow" "$work/big.txt" 2>&1)"
fail_reading "$work/own/tiny.chs" 20 "$runeflow" -d own -c tiny </dev/null 2>err.txt
check "a set file that fails part way" "3 runeflow: -c tiny: Convert: I/O error 1 on $work/own/tiny.chs" \
  "$? $(cat err.txt)"
fail_reading "$work/own/keep.sub" 5 "$runeflow" -d own -t keep:tiny </dev/null 2>err.txt
check "a table file that fails part way" "3 runeflow: -t keep:tiny: Substitute: I/O error 1 on $work/own/keep.sub" \
  "$? $(cat err.txt)"

# Variables, help, version, list.
check "variables that the run set, quoted for the shell" "V='it'\''s'" \
  "$(printf "xit's;" | V= "$runeflow" -d own -t keep:latin1 -v 2>&1 >/dev/null)"
"$runeflow" --help | grep -q '^Usage: runeflow ' || check "--help" "usage" "$("$runeflow" --help)"
check "--version" "$(printf 'Runeflow 3.0\nCobbleway edition')" "$("$runeflow" --version)"
"$runeflow" --list | grep -q '^  latin1 *ISO-8859-1' || check "--list shows the shipped sets" "latin1" "$("$runeflow" --list)"
"$runeflow" -d own --list | grep -q '^  ab ' || check "--list shows a -d directory" "ab" "$("$runeflow" -d own --list)"

finish
