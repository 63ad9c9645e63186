#!/bin/bash
# The user guide as one HTML file for the release: docs/user-guide.md through
# cmark-gfm (--unsafe keeps the guide's own HTML, such as <kbd>), its pictures
# inlined (data: URLs), the headings given the ids that the guide's own links
# use (GitHub's: lower case, punctuation dropped, spaces as hyphens), in
# packaging/guide.html.in.
# Usage: guide-html.sh CMARK-GFM GUIDE.md TEMPLATE OUTPUT
set -euo pipefail
cmark=$1 guide=$2 template=$3 output=$4
images=$(dirname "$guide")

body=$("$cmark" --unsafe --extension table --extension autolink "$guide" | awk -v dir="$images" '
    function slug(text,    s) {
        s = tolower(text)
        gsub(/<[^>]*>/, "", s)
        gsub(/&[a-z]+;/, "", s)
        gsub(/[^a-z0-9 _-]/, "", s)
        gsub(/ /, "-", s)
        return s
    }
    {
        if (match($0, /^<h[1-6]>.*<\/h[1-6]>$/)) {
            level = substr($0, 3, 1)
            text = substr($0, 5, length($0) - 9)
            $0 = "<h" level " id=\"" slug(text) "\">" text "</h" level ">"
        }
        line = $0
        out = ""
        while (match(line, /src="images\/[^"]+\.png"/)) {
            file = substr(line, RSTART + 5, RLENGTH - 6)
            cmd = "base64 -w0 \"" dir "/" file "\""
            data = ""
            cmd | getline data
            close(cmd)
            if (data == "") { print "guide-html: cannot read " dir "/" file > "/dev/stderr"; exit 1 }
            out = out substr(line, 1, RSTART - 1) "src=\"data:image/png;base64," data "\""
            line = substr(line, RSTART + RLENGTH)
        }
        print out line
    }')
title=$(sed -n 's/^# //p' "$guide" | head -n 1)

tmp="$output.tmp"
awk -v title="$title" '
    /@BODY@/ { while ((getline line < "/dev/stdin") > 0) print line; next }
    { gsub(/@TITLE@/, title); print }' "$template" <<<"$body" >"$tmp"
mv "$tmp" "$output"
