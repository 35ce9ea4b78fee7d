// Test body that does not compile.
void main()
{
	gl_FragColor = vec4(undeclaredValue);
}
