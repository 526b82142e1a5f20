# make_track SECONDS FILE: the benchmarks' groove, made by ffmpeg's
# generators: a kick on every beat at 122 a minute, hats between, a bell
# every other bar; the same track every time.
make_track() {
  local groove="0.7*sin(2*PI*(55*mod(t,0.49)+90*(1-exp(-mod(t,0.49)*40))/40))*exp(-mod(t,0.49)*9)"
  groove="$groove+0.15*sin(2*PI*740*t)*exp(-mod(t,0.98)*3)*lt(mod(t,3.92),1.96)"
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "aevalsrc='$groove|$groove':s=48000:d=$1" \
    -f lavfi -i "anoisesrc=d=$1:a=0.05:r=48000:seed=1" -filter_complex "[1]highpass=f=6000[h];[0][h]amix=normalize=0" \
    -metadata artist=Bench -metadata title="$1 s" "$2"
}

# measure LABEL LENGTH ARGS...: the wall seconds and peak resident memory
# of one capture to $work/out.mp4 (or the output ARGS name), with the wall
# time against LENGTH seconds unless LENGTH is "-"; false, with the capture's
# errors, when the capture fails. Sourced by the capture benchmarks, which set
# $capture and $work (and $time_program, where GNU time is elsewhere).
measure() {
  local label=$1 length=$2
  shift 2
  "${time_program:-/usr/bin/time}" -f '%e %M' -o "$work/time" "$capture" --output "$work/out.mp4" "$@" >/dev/null 2>"$work/err" ||
    { cat "$work/err" >&2; return 1; }
  read -r wall kb <"$work/time"
  # time writes a point whatever the locale; under a decimal comma printf
  # would refuse "12.50" and awk write "3,12".
  local -x LC_ALL=C
  if [ "$length" = "-" ]; then
    printf '%-44s %7.1f s wall, peak %4d MB\n' "$label" "$wall" "$((kb / 1024))"
  else
    printf '%-44s %7.1f s wall for %4d s: %.2f of its length, peak %4d MB\n' "$label" "$wall" "$length" \
      "$(awk -v w="$wall" -v l="$length" 'BEGIN { print w / l }')" "$((kb / 1024))"
  fi
}
