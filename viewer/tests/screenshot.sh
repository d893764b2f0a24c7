#!/bin/sh
# The real viewer under a virtual X server: started with a sample file on its
# command line, it shows frame 1; the screenshot must not be blank.
#   screenshot.sh PROGRAM SAMPLE.RAW OUTPUT.png
set -eu
program=$1 sample=$2 output=$3
command -v xvfb-run >/dev/null && command -v import >/dev/null || {
  echo "xvfb-run or ImageMagick missing: skipped"; exit 77; }
rm -f "$output"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  "$1" "$2" & pid=$!
  sleep 3
  import -window root "$3"
  kill $pid; wait $pid 2>/dev/null || true' sh "$program" "$sample" "$output"
colours=$(identify -format "%k" "$output")
echo "screenshot $output: $colours colours"
test "$colours" -gt 50
