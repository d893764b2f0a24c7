#!/bin/sh
# The real viewer under a virtual X server: started with a sample file on its
# command line it shows frame 1; the keys given after the output name are then
# pressed in its window, one after the other (xdotool names: "alt+s", "h",
# "space"). The screenshot must not be blank.
#   screenshot.sh PROGRAM SAMPLE.RAW OUTPUT.png [KEY ...]
set -eu
program=$1 sample=$2 output=$3
shift 3
command -v xvfb-run >/dev/null && command -v import >/dev/null || {
  echo "xvfb-run or ImageMagick missing: skipped"; exit 77; }
if [ $# -gt 0 ] && ! command -v xdotool >/dev/null; then
  echo "xdotool missing: skipped"; exit 77
fi
rm -f "$output"
xvfb-run -a -s "-screen 0 1600x1000x24" sh -c '
  program=$1 sample=$2 output=$3
  shift 3
  "$program" "$sample" & pid=$!
  # Keys go to the window once it is shown, however long a loaded machine
  # takes.
  if command -v xdotool >/dev/null; then
    timeout 60 xdotool search --sync --onlyvisible --name "RAW video viewer" >/dev/null
  fi
  sleep 1
  for key in "$@"; do
    window=$(xdotool search --name "RAW video viewer" | head -n 1)
    xdotool windowfocus --sync "$window" key "$key" || true
    sleep 0.7
  done
  sleep 1
  import -window root "$output"
  kill $pid; wait $pid 2>/dev/null || true' sh "$program" "$sample" "$output" "$@"
colours=$(identify -format "%k" "$output")
echo "screenshot $output: $colours colours"
test "$colours" -gt 50
