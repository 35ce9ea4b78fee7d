// Shows iMouse in four bands 64 pixels wide, one per component: each value plus 32768 as a
// 16-bit number, high byte in red and low byte in green.
void main()
{
	int band = int(gl_FragCoord.x / 64.0);
	if (band > 3) { gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0); return; }
	float v = band == 0 ? iMouse.x : band == 1 ? iMouse.y : band == 2 ? iMouse.z : iMouse.w;
	float u = v + 32768.0;
	float hi = floor(u / 256.0);
	float lo = u - hi * 256.0;
	gl_FragColor = vec4(hi / 255.0, lo / 255.0, 0.5, 1.0);
}
