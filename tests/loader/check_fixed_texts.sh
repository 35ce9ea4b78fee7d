#!/usr/bin/env bash
# The three fixed texts: GLSL 1.20 by glslangValidator, their exact ends, and line feeds only.
set -u
dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

vert="$dir/64-passthrough.vert"
trans="$dir/65-transition.frag"
header="$dir/66-header.frag"

cp "$vert" "$work/64.vert"
cp "$trans" "$work/65.frag"
# The header declares and defines nothing callable; give it an empty main to link.
{ cat "$header"; printf 'void main()\n{\n\tgl_FragColor = vec4(iResolution, iGlobalTime);\n}\n'; } > "$work/66.frag"
for f in 64.vert 65.frag 66.frag; do
  out=$(glslangValidator "$work/$f" 2>&1) || fail "$f: $out"
done
# Linked as the transition program is.
out=$(glslangValidator -l "$work/64.vert" "$work/65.frag" 2>&1) || fail "64+65 link: $out"

for f in "$vert" "$trans" "$header"; do
  if LC_ALL=C grep -q $'\r' "$f"; then fail "$(basename "$f") has a carriage return"; fi
  if LC_ALL=C grep -qP '[^\x09\x0a\x20-\x7e]' "$f"; then fail "$(basename "$f") is not plain ASCII"; fi
  [ "$(head -n 1 "$f")" = "#version 120" ] || fail "$(basename "$f") does not start with #version 120"
done
[ "$(tail -c 1 "$vert")" = "}" ] || fail "64 must end with the closing brace"
[ "$(tail -c 1 "$trans")" = "}" ] || fail "65 must end with the closing brace"
[ "$(tail -c 1 "$header" | od -An -c | tr -d ' ')" = '\n' ] || fail "66 must end with a line feed"

# The header: #version, an empty line, then exactly the sixteen declarations in order.
expected='#version 120

uniform vec3 iResolution;
uniform float iGlobalTime;
uniform float iChannelTime[8];
uniform vec3 iChannelResolution[8];
uniform vec4 iMouse;
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform sampler2D iChannel2;
uniform sampler2D iChannel3;
uniform sampler2D iChannel4;
uniform sampler2D iChannel5;
uniform sampler2D iChannel6;
uniform sampler2D iChannel7;
uniform vec4 iDate;
uniform float iSampleRate;
uniform float iMusicEvent;'
[ "$(cat "$header")" = "$expected" ] || fail "66 is not exactly the sixteen declarations"

for name in iSrc iDst iFade; do
  grep -q "uniform [a-zA-Z0-9]* $name;" "$trans" || fail "65 lacks $name"
done
grep -q 'gl_FragColor *= *texture2D(iDst, *gl_TexCoord\[0\]\.st)\|gl_FragColor *= *dst' "$trans" \
  || fail "65 does not write the iDst texel"
grep -q 'gl_TexCoord\[0\] *= *gl_MultiTexCoord0' "$vert" || fail "64 does not hand on the texture coordinate"
grep -q 'gl_Position *= *ftransform()' "$vert" || fail "64 does not use ftransform"
[ $status -eq 0 ] && echo "fixed texts OK"
exit $status
