void main()
{
	vec2 uv = gl_FragCoord.xy / iResolution.xy;
	if (uv.y < 0.12 || uv.y >= 0.88) { gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0); return; }
	gl_FragColor = vec4(uv, 0.5 + 0.5 * sin(iGlobalTime), 1.0);
}
