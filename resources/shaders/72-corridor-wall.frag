// The sponge corridor folded across its diagonals and along its length, in
// copper and teal, with one flat white wall running along the left.

#define STEPS 100
#define FOLDS 6
#define FAR 20.0

float trap;
float surf;

mat2 rot(float a)
{
	float c = cos(a), s = sin(a);
	return mat2(c, s, -s, c);
}

vec2 path(float z)
{
	return vec2(1.1 * sin(z * 0.17) + 0.5 * sin(z * 0.23 + 1.0), 0.7 * cos(z * 0.13));
}

float corridor(vec3 q)
{
	float d = max(abs(q.x), abs(q.y)) - 0.8;
	float s = 1.0;
	vec3 z = q;
	for (int i = 0; i < FOLDS; i++) {
		vec3 a = abs(mod(z * s, 2.0) - 1.0);
		if (a.x < a.y) a.xy = a.yx;
		a.z = abs(a.z - 0.2);
		s *= 3.0;
		vec3 r = abs(1.0 - 3.0 * a);
		float c = (min(max(r.x, r.y), min(max(r.y, r.z), max(r.z, r.x))) - 1.0) / s;
		if (c > d) { d = c; trap = float(i); }
		z.xy = rot(0.12) * z.xy;
		z.xz = rot(0.04) * z.xz;
	}
	return d;
}

float wall(vec3 q)
{
	return q.x + 0.33;
}

float scene(vec3 p)
{
	vec3 q = p;
	q.xy -= path(q.z);
	trap = 0.0;
	surf = 0.0;
	float d = corridor(q);
	float w = wall(q);
	if (w < d) { d = w; surf = 1.0; }
	return d;
}

vec3 normal(vec3 p)
{
	vec2 e = vec2(0.002, 0.0);
	return normalize(vec3(scene(p + e.xyy) - scene(p - e.xyy),
	                      scene(p + e.yxy) - scene(p - e.yxy),
	                      scene(p + e.yyx) - scene(p - e.yyx)));
}

vec3 backdrop(vec3 rd, float t)
{
	vec3 p = rd * 0.8 + vec3(0.07 * t, 0.31, 0.0);
	float a = 0.0, last = 0.0;
	for (int i = 0; i < 9; i++) {
		p = abs(p) / dot(p, p) - 0.58;
		float l = length(p);
		a += abs(l - last);
		last = l;
	}
	a = a * a * 0.001;
	return vec3(0.2, 0.6, 0.55) * a + vec3(1.0, 0.7, 0.4) * a * a * 0.04;
}

void main()
{
	vec2 frag = gl_FragCoord.xy / iResolution.xy;
	if (frag.y < 0.12 || frag.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}
	float t = iGlobalTime;
	vec2 uv = (gl_FragCoord.xy - 0.5 * iResolution.xy) / iResolution.y;

	float zc = 0.9 * t + 1.0;
	vec3 ro = vec3(path(zc), zc);
	vec3 ta = vec3(path(zc + 1.2), zc + 1.2);
	vec3 fw = normalize(ta - ro);
	vec3 up = vec3(0.3 * sin(t * 0.21), 1.0, 0.0);
	vec3 rt = normalize(cross(up, fw));
	up = cross(fw, rt);
	vec3 rd = normalize(uv.x * rt + uv.y * up + 1.0 * fw);

	float d = 0.0, h = 1.0, glow = 0.0;
	for (int i = 0; i < STEPS; i++) {
		h = scene(ro + rd * d);
		glow += exp(-h * 50.0);
		if (h < 0.0015 * d || d > FAR) break;
		d += h * 0.8;
	}

	vec3 bg = backdrop(rd, t);
	vec3 col = bg;
	if (d < FAR) {
		vec3 p = ro + rd * d;
		scene(p);
		float tr = trap;
		float mat = surf;
		vec3 n = normal(p);
		vec3 lp = ro + fw * 1.2 + up * 0.2;
		vec3 lv = lp - p;
		float ll = length(lv);
		lv /= ll;
		vec3 ld = normalize(vec3(-0.3, 1.0, 0.4));
		float ao = clamp(scene(p + n * 0.05) / 0.05, 0.0, 1.0) * 0.5
		         + clamp(scene(p + n * 0.18) / 0.18, 0.0, 1.0) * 0.5;
		float lamp = clamp(dot(n, lv), 0.0, 1.0) / (1.0 + 0.5 * ll * ll);
		float fill = clamp(dot(n, ld), 0.0, 1.0);
		vec3 base = mix(vec3(0.75, 0.45, 0.3), vec3(0.1, 0.8, 0.7), step(3.5, tr));
		base = mix(base, vec3(0.35, 0.2, 0.15), step(tr, 0.5));
		if (mat > 0.5) base = vec3(0.7);
		col = base * (vec3(1.2, 1.05, 0.9) * lamp + vec3(0.08, 0.1, 0.16) * fill) * ao;
		col += vec3(1.0, 0.9, 0.8) * pow(clamp(dot(reflect(rd, n), lv), 0.0, 1.0), 32.0) * lamp * 2.0;
		col = mix(col, bg, 1.0 - exp(-0.008 * d * d));
	}
	col += vec3(0.3, 1.0, 0.8) * glow * 0.005;

	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));
	col *= 0.5 + 0.5 * pow(16.0 * frag.x * frag.y * (1.0 - frag.x) * (1.0 - frag.y), 0.15);
	gl_FragColor = vec4(col, 1.0);
}
