#!/usr/bin/env bash
# Prints the chart through a real print spooler: starts a private CUPS daemon on a socket of its own (its
# configuration, spool and backends all in a temporary folder) with one queue whose backend keeps each job
# as a file, runs the queue test of chart_print_tests against it and checks that a one-page landscape PDF
# came out. Exits 77 (skipped) where CUPS is missing or cannot start here.
#   cups_print_test.sh <chart_print_tests executable>
set -uo pipefail
tests=${1:?usage: cups_print_test.sh <chart_print_tests>}
skip() { echo "SKIPPED: $*"; exit 77; }

command -v cupsd >/dev/null || skip "cupsd not installed (apt-get install cups)"
command -v lpadmin >/dev/null || skip "lpadmin not installed"

work=$(mktemp -d /tmp/quorvel-cups.XXXXXX)
chmod 755 "$work"
daemon=
cleanup() {
  if [ -n "$daemon" ]; then kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work"/{etc,spool,cache,state,log,tmp,out,lib/backend}
chmod 1777 "$work"/tmp "$work"/out
# The system's filters and helpers, plus a backend that copies the job to the file its device names.
for d in /usr/lib/cups/*; do
  [ "$(basename "$d")" = backend ] || ln -s "$d" "$work/lib/"
done
cat >"$work/lib/backend/keepfile" <<'BACKEND'
#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct keepfile "Unknown" "Keeps each job as a file"'; exit 0; fi
out=${DEVICE_URI#keepfile:}
if [ -n "${6:-}" ]; then cat "$6" >"$out.part"; else cat >"$out.part"; fi && mv "$out.part" "$out"
BACKEND
chmod 700 "$work/lib/backend/keepfile"
socket=$work/cups.sock
cat >"$work/etc/cupsd.conf" <<CONF
Listen $socket
LogLevel warn
Printcap
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
cat >"$work/etc/cups-files.conf" <<CONF
ServerRoot $work/etc
RequestRoot $work/spool
CacheDir $work/cache
StateDir $work/state
TempDir $work/tmp
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
ServerBin $work/lib
CONF

cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" >"$work/log/stdout" 2>&1 &
daemon=$!
export CUPS_SERVER=$socket
for _ in $(seq 50); do
  [ -S "$socket" ] && lpstat -r >/dev/null 2>&1 && break
  kill -0 "$daemon" 2>/dev/null || skip "cupsd did not start: $(cat "$work"/log/* 2>/dev/null | tail -3)"
  sleep 0.1
done
lpstat -r >/dev/null 2>&1 || skip "cupsd does not answer on $socket"

# A queue without a driver passes the job through unchanged; Qt hands CUPS a PDF, so the kept file is
# the printed PDF.
queue=QuorvelPDF
out=$work/out/job.pdf
lpadmin -p "$queue" -E -v "keepfile:$out" 2>"$work/log/lpadmin" ||
  skip "cannot add a queue: $(cat "$work/log/lpadmin")"
cupsenable "$queue" 2>/dev/null; cupsaccept "$queue" 2>/dev/null

QUORVEL_CUPS_QUEUE=$queue QT_QPA_PLATFORM=offscreen "$tests" --gtest_filter='CupsQueue.*' || exit 1

for _ in $(seq 100); do
  [ -s "$out" ] && [ -z "$(lpstat -o "$queue" 2>/dev/null)" ] && break
  sleep 0.1
done
[ -s "$out" ] || { echo "no output from the queue"; cat "$work"/log/error_log 2>/dev/null | tail -20; exit 1; }
head -c 5 "$out" | grep -q '%PDF-' || { echo "the queue's output is not a PDF"; exit 1; }
if command -v pdfinfo >/dev/null; then
  info=$(pdfinfo "$out")
  echo "$info" | grep -Eq '^Pages: +1$' || { echo "expected one page:"; echo "$info"; exit 1; }
  size=$(echo "$info" | sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\).*/\1 \2/p')
  awk -v s="$size" 'BEGIN { split(s, a, " "); exit !(a[1] > a[2]) }' ||
    { echo "expected a landscape page, got $size"; exit 1; }
fi
echo "printed through CUPS queue $queue: $(wc -c <"$out") bytes of PDF"
