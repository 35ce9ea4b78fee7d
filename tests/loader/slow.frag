// Test body that is slow to compile: the inliner expands it to a thousand calls.
float f0(float x) { return sin(x * 1.37) + cos(x * 0.71); }
float f1(float x) { return f0(x * 1.013) - f0(x + 0.17); }
float f2(float x) { return f1(x * 1.026) - f1(x + 0.24); }
float f3(float x) { return f2(x * 1.039) - f2(x + 0.31); }
float f4(float x) { return f3(x * 1.052) - f3(x + 0.38); }
float f5(float x) { return f4(x * 1.065) - f4(x + 0.45); }
float f6(float x) { return f5(x * 1.078) - f5(x + 0.52); }
float f7(float x) { return f6(x * 1.091) - f6(x + 0.59); }
float f8(float x) { return f7(x * 1.104) - f7(x + 0.66); }
float f9(float x) { return f8(x * 1.117) - f8(x + 0.73); }
float f10(float x) { return f9(x * 1.130) - f9(x + 0.80); }
void main()
{
	gl_FragColor = vec4(f10(gl_FragCoord.x / iResolution.x + iGlobalTime));
}
