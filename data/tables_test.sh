#!/bin/sh
# The shipped tables on small real inputs, through the runeflow command, against outputs written by
# hand; and the sample page through the pipeline that the README's main job runs.
# Usage: tables_test.sh PATH-TO-RUNEFLOW
set -u
runeflow=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/support/check.sh"

# run INPUT STAGE-OPTIONS...: the input (printf format) through the stages
run() {
  input=$1
  shift
  # shellcheck disable=SC2059
  printf "$input" | "$runeflow" -d "$here" "$@" 2>&1
}

check "html2text keeps the text, and a conversion after it resolves the references" \
  "$(printf 'Caf\351 & bar <x>')" "$(run '<p>Caf&eacute; &amp; bar &lt;x&gt;</p>' -t html2text:latin1 -c latin1)"
check "html2text drops comments, scripts and styles with their contents, in either case" "xz|t|ab" \
  "$(run 'x<script>if (a<b) y="</p>";</script>z|<STYLE>p{}</STYLE>t|a<!-- x\n<b>y</b> -->b' -t html2text:latin1)"
check "html2text breaks lines at <br> in its forms, once where the source breaks too" \
  "$(printf 'a\nb\nc\nd\ne')" "$(run 'a<br>b<BR/>c<br class=x>d<br>\ne' -t html2text:ascii)"
check "html2text puts list items on their lines and draws rules" \
  "$(printf '\n* A\n* B\n\n----------------------------------------\nend')" \
  "$(run '<ul>\n<li>A</li>\n<li class="b">B</li>\n</ul>\n<hr>end' -t html2text:cp437)"
check "html2text leaves a \"<\" that starts no tag" "2 < 3 x" "$(run '2 < 3 <b>x</b>' -t html2text:latin1)"

check "text2html escapes and starts paragraphs" "$(printf 'a&lt;b &amp; c&gt;d\n\n<p>next\r\n\r\n<p>last')" \
  "$(run 'a<b & c>d\n\nnext\r\n\r\nlast' -t text2html:latin9)"

check "title keeps the page and puts its title into T" "<title>Hi there</title>T='Hi there'|" \
  "$(printf '<TITLE>Hi there</TITLE>' | "$runeflow" -d "$here" -t title:latin1 -v 2>&1 | tr '\n' '|')"

check "translit before a conversion to ascii" "\"Cafe\" - -- EUR 1/2 ... Strasse AEsop (C) 3x4" \
  "$(run '\223Caf\351\224 \226 \227 \200 \275 \205 Stra\337e \306sop \251 3\3274' -t translit:cp1252 -c cp1252:ascii)"
check "translit on box drawing" "+--+|" "$(run '\332\304\304\277\263' -t translit:cp437 -c cp437:ascii)"

check "the sample page as the main job shows it" "$(cat "$here/tests/sample.txt")" \
  "$("$runeflow" -d "$here" -t title:cp1252 -t html2text -c cp1252 -t translit -c cp1252:ascii "$here/sample.html")"

# The README's UTF-8 examples: a UTF-8 page becomes UTF-8 text with every character kept, through a
# table over UTF-8 or through Latin-1; Latin-1 notes become UTF-8.
check "a UTF-8 page through html2text:utf8 and -c utf8" "$(cat "$here/tests/page-utf8.txt")" \
  "$("$runeflow" -d "$here" -t html2text:utf8 -c utf8 "$here/tests/page-utf8.html" 2>&1)"
check "a UTF-8 page through Latin-1" "$(cat "$here/tests/page-utf8.txt")" \
  "$("$runeflow" -d "$here" -c utf8:latin1 -t html2text -c latin1:utf8 "$here/tests/page-utf8.html" 2>&1)"
check "a UTF-8 page as ASCII" "Cafe Reve -- Carte * Espresso - 1,80 EUR 2 < 3 <= 4, toujours..." \
  "$("$runeflow" -d "$here" -t html2text:utf8 -c utf8:latin1 -t translit -c latin1:ascii "$here/tests/page-utf8.html" |
     grep -e Carte -e Espresso -e toujours | tr -s '\n' ' ' | sed 's/ $//')"
check "Latin-1 notes as UTF-8" "$(printf 'caf\303\251 na\303\257ve, 5 \342\202\254')" \
  "$(run 'caf\351 na\357ve, 5 &euro;' -c latin1:utf8)"

finish
