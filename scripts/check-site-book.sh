#!/usr/bin/env bash
# Downloads a folder of web pages as a book, the way a user downloads a
# site: serves FOLDER on 127.0.0.1, runs `fetchwell --download` on its
# CONTENTS_PAGE with --merge and --epub (only the rows ROWS, e.g. 2-40,5,
# when given) and checks the EPUB with epubcheck. The chapters, the merged
# book and the EPUB stay in OUT (a new temporary folder when not given).
#
#   scripts/check-site-book.sh FOLDER CONTENTS_PAGE [ROWS] [OUT]
#
# FETCHWELL names the program (default build/fetchwell/fetchwell). It runs
# with a program folder of its own inside OUT, so the user's settings play no
# part, and without a pause between requests. Exit status 0 when every row
# was saved, the book has every chapter and epubcheck found no error.
set -uo pipefail

if [ $# -lt 2 ] || [ $# -gt 4 ]; then
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
folder=$1
contents=${2#/}
rows=${3:-}
out=${4:-$(mktemp -d -t site-book.XXXXXX)}
fetchwell=${FETCHWELL:-build/fetchwell/fetchwell}

[ -d "$folder" ] || { echo "check-site-book: no folder $folder" >&2; exit 2; }
[ -f "$folder/$contents" ] || { echo "check-site-book: no page $folder/$contents" >&2; exit 2; }
[ -x "$fetchwell" ] || { echo "check-site-book: no program $fetchwell (make build)" >&2; exit 2; }
# Debian's /usr/bin/epubcheck is the Java archive itself, which runs only
# where binfmt_misc knows jars; java runs it everywhere.
if [ -f /usr/share/java/epubcheck.jar ]; then
  epubcheck=(java -jar /usr/share/java/epubcheck.jar)
else
  echo "check-site-book: epubcheck is not installed (apt-get install epubcheck)" >&2
  exit 2
fi
mkdir -p "$out/home"
out=$(cd "$out" && pwd)

# Port 0 lets the system choose a free port; the server names it when ready.
log="$out/server.log"
python3 -u -m http.server --bind 127.0.0.1 --directory "$folder" 0 >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$log" | head -n1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "check-site-book: the server did not start:" >&2; cat "$log" >&2; exit 1; }
address="http://127.0.0.1:$port/$contents"

args=(--download "$address" --out "$out/books" --delay 0 --merge --epub)
[ -n "$rows" ] && args+=(--select "$rows")
echo "== fetchwell ${args[*]}"
FETCHWELL_HOME="$out/home" "$fetchwell" "${args[@]}" 2>&1 | tee "$out/fetchwell.log"
downloaded=${PIPESTATUS[0]}

status=0
[ "$downloaded" -eq 0 ] || { echo "check-site-book: fetchwell failed ($downloaded)"; status=1; }
epub=$(find "$out/books" -maxdepth 2 -name '*.epub' | head -n1)
book=$(find "$out/books" -maxdepth 2 -name '*.txt' | head -n1)
if [ -z "$epub" ] || [ -z "$book" ]; then
  echo "check-site-book: no merged book or EPUB in $out/books"
  exit 1
fi
echo "== epubcheck $epub"
"${epubcheck[@]}" "$epub" 2>&1 | tee "$out/epubcheck.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "check-site-book: epubcheck found errors"; status=1; }
echo "== book: $book ($(wc -c <"$book") bytes), EPUB: $epub"
exit "$status"
