#!/bin/sh
# Checks that a Windows program carries the message table: string blocks 7 to 12, each under
# every one of the 34 language ids, and no other language id. Usage: check_string_tables.sh EXE
set -eu
exe="$1"
languages="1033 1031 2055 3079 4103 5127 1036 2060 3084 4108 5132 6156 1040 2064
  1034 2058 3082 4106 5130 6154 7178 8202 9226 10250 11274 12298 13322 14346 15370 16394 17418
  18442 19466 20490"

listing=$(wrestool -l --type=6 "$exe")
status=0
for block in 7 8 9 10 11 12; do
    for language in $languages; do
        if ! printf '%s\n' "$listing" | grep -q -- "--name=$block --language=$language "; then
            echo "missing: string block $block under language $language"
            status=1
        fi
    done
done
found=$(printf '%s\n' "$listing" | grep -c -- "--type=6 ")
if [ "$found" -ne 204 ]; then
    echo "expected 204 string blocks (6 blocks x 34 languages), found $found"
    status=1
fi
[ $status -eq 0 ] && echo "string blocks 7 to 12 present under all 34 language ids"
exit $status
