#!/bin/sh
# fvpack refuses a missing file, a duplicate GUID and contents larger than the size, with exit
# code 2 and a message naming the problem; a good manifest packs.
fvpack=$1
dir=$2/fvpack_refusals
mkdir -p "$dir" && cd "$dir" || exit 1
printf 'BM' > a.bmp
g=00000001-1234-5678-0102-030405060708
expect() { # CODE WORDS MANIFEST-TEXT
  printf '%s' "$3" > m.json
  "$fvpack" m.json -o out.fv 2> err.txt
  rc=$?
  [ "$rc" -eq "$1" ] || { echo "exit $rc, expected $1 for: $3"; cat err.txt; exit 1; }
  [ "$1" -eq 0 ] || grep -q "$2" err.txt || { echo "no '$2' in: $(cat err.txt)"; exit 1; }
}
expect 0 '' "{\"files\": [{\"guid\": \"$g\", \"path\": \"a.bmp\"}]}"
expect 2 'cannot read' "{\"files\": [{\"guid\": \"$g\", \"path\": \"missing.bmp\"}]}"
expect 2 'already used' "{\"files\": [{\"guid\": \"$g\", \"path\": \"a.bmp\"}, {\"guid\": \"$g\", \"path\": \"a.bmp\"}]}"
head -c 5000 /dev/zero > big.bin
expect 2 'more than the volume size' "{\"size\": 4096, \"files\": [{\"guid\": \"$g\", \"path\": \"big.bin\"}]}"
echo ok
