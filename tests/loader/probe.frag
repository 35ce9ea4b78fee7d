// Test body: the colour handed in as iMouse, inside the usual band.
void main()
{
	vec2 uv = gl_FragCoord.xy / iResolution.xy;
	if (uv.y < 0.12 || uv.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}
	gl_FragColor = vec4(iMouse.xyz, 1.0);
}
