#version 120

uniform sampler2D iSrc;
uniform sampler2D iDst;
uniform float iFade;

void main()
{
	vec4 src = texture2D(iSrc, gl_TexCoord[0].st);
	vec4 dst = texture2D(iDst, gl_TexCoord[0].st);
	gl_FragColor = dst;
}