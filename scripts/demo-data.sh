#!/usr/bin/env bash
# Puts a small sample data set into a program directory, without touching
# anything the user already has there.
set -euo pipefail
dir="$1"
write_sjis() { iconv -f UTF-8 -t CP932 > "$1"; }
if [ ! -e "$dir/url.dat" ]; then
  printf 'http://127.0.0.1:8000/daily/\r\n\r\n' > "$dir/url.dat"
fi
if [ ! -e "$dir/number.sdf" ] && [ ! -e "$dir/all-info.idf" ]; then
  printf '2000/05/20\r\n3\r\n2\r\n2\r\n3\r\n0,トップ\r\n1,音楽\r\n2,ジャズ\r\n"<END>"\r\n0,1\r\n1,2\r\n"<END>"\r\n7,ジャズ・コーナー,新譜のレビュー,http://www.example.com/jazz/\r\n12,ブルー・ノート,週刊コラム,http://www.example.org/blue/\r\n"<END>"\r\n7,2\r\n12,2\r\n12,1\r\n"<END>"\r\n' | write_sjis "$dir/all-info.idf"
  printf '2000/05/20\r\n7,#2000/05/18 21:04:33#,#2000/05/20#,1\r\n12,#2000/05/19 08:15:00#,#2000/05/20#,4\r\n' | write_sjis "$dir/update.idf"
fi
