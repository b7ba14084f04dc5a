#!/bin/sh
# fvpack packs a PEI module to execute in place (and refuses one without the volume's base, or
# one whose sections are not at their RVAs); bootsim --image runs both images and adds the
# processor's figures to the report.
fvpack=$1 bootsim=$2 pei=$3 smm=$4
dir=$5/image_cli
mkdir -p "$dir" && cd "$dir" || exit 1
g=5B3D6E7A-41C2-4D8E-9A67-1F30C855B20D
pack() { # CODE WORDS MANIFEST-TEXT
  printf '%s' "$3" > m.json
  "$fvpack" m.json -o out.fv > /dev/null 2> err.txt
  rc=$?
  [ "$rc" -eq "$1" ] || { echo "fvpack exit $rc, expected $1 for: $3"; cat err.txt; exit 1; }
  [ "$1" -eq 0 ] || grep -q "$2" err.txt || { echo "no '$2' in: $(cat err.txt)"; exit 1; }
}
pack 0 '' "{\"base\": \"0xFFFF0000\", \"files\": [{\"guid\": \"$g\", \"path\": \"$pei\", \"type\": \"peim\"}]}"
pack 2 'needs the volume' "{\"files\": [{\"guid\": \"$g\", \"path\": \"$pei\", \"type\": \"peim\"}]}"
pack 2 'cannot execute in place' "{\"base\": \"0xFFFF0000\", \"files\": [{\"guid\": \"$g\", \"path\": \"$smm\", \"type\": \"peim\"}]}"

"$bootsim" --image "$pei" --out pei --trace > pei.txt || { cat pei.txt; exit 1; }
grep -q '"instructions"' pei/report.json && grep -q '"stack_bytes"' pei/report.json &&
  [ -s pei/boot-screen.png ] && [ -s pei/trace.jsonl ] || { echo "PEI image report incomplete"; exit 1; }
"$bootsim" --smm --image "$smm" --out smm > smm.txt || { cat smm.txt; exit 1; }
grep -q '"instructions"' smm/report.json || { echo "SMM image report incomplete"; exit 1; }
"$bootsim" --image "$smm" --out wrong > wrong.txt 2>&1
[ $? -eq 2 ] || { echo "bootsim ran an X64 image as the PEI module"; exit 1; }
echo ok
