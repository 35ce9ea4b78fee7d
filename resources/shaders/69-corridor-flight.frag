// Corridor flight: a sponge fractal folded along a winding square tube and
// flown through on the tube's centre line. Near misses glow; rays that get
// through show a folded star pattern. Two star-chart layers drift on top.

#define STEPS 100
#define FOLDS 6
#define FAR 22.0

float trap;

mat2 rot(float a)
{
	float c = cos(a), s = sin(a);
	return mat2(c, s, -s, c);
}

// centre line of the tube
vec2 path(float z)
{
	return vec2(1.3 * sin(z * 0.21) + 0.7 * sin(z * 0.097), 0.9 * cos(z * 0.16));
}

float scene(vec3 p)
{
	vec3 q = p;
	q.xy -= path(q.z);
	float d = max(abs(q.x), abs(q.y)) - 0.9;
	float s = 1.0;
	trap = 1e9;
	vec3 z = q;
	for (int i = 0; i < FOLDS; i++) {
		vec3 a = mod(z * s, 2.0) - 1.0;
		s *= 3.0;
		vec3 r = abs(1.0 - 3.0 * abs(a));
		float c = (min(max(r.x, r.y), min(max(r.y, r.z), max(r.z, r.x))) - 1.0) / s;
		if (c > d) { d = c; trap = float(i); }
		z.xy = rot(0.09) * z.xy;
		z.yz = rot(0.05) * z.yz;
	}
	return d;
}

vec3 normal(vec3 p)
{
	vec2 e = vec2(0.002, 0.0);
	return normalize(vec3(scene(p + e.xyy) - scene(p - e.xyy),
	                      scene(p + e.yxy) - scene(p - e.yxy),
	                      scene(p + e.yyx) - scene(p - e.yyx)));
}

// folded star pattern for whatever lies past the corridor
vec3 backdrop(vec3 rd, float t)
{
	vec3 p = rd * 0.7 + vec3(0.1 * t, 0.0, 0.23);
	float a = 0.0, last = 0.0;
	for (int i = 0; i < 9; i++) {
		p = abs(p) / dot(p, p) - 0.62;
		float l = length(p);
		a += abs(l - last);
		last = l;
	}
	a = a * a * 0.0012;
	return vec3(0.35, 0.5, 1.0) * a + vec3(1.0, 0.6, 0.3) * a * a * 0.05;
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

	float zc = 1.2 * t + 3.0;
	vec3 ro = vec3(path(zc), zc);
	vec3 ta = vec3(path(zc + 1.5), zc + 1.5);
	vec3 fw = normalize(ta - ro);
	vec3 up = vec3(0.25 * sin(t * 0.3), 1.0, 0.0);
	vec3 rt = normalize(cross(up, fw));
	up = cross(fw, rt);
	vec3 rd = normalize(uv.x * rt + uv.y * up + 1.1 * fw);

	float d = 0.0, h = 1.0, glow = 0.0;
	for (int i = 0; i < STEPS; i++) {
		h = scene(ro + rd * d);
		glow += exp(-h * 60.0);
		if (h < 0.0015 * d || d > FAR) break;
		d += h * 0.8;
	}

	vec3 bg = backdrop(rd, t);
	vec3 col = bg;
	if (d < FAR) {
		vec3 p = ro + rd * d;
		float tr = trap;
		vec3 n = normal(p);
		vec3 lp = ro + fw * 1.5 + up * 0.3;
		vec3 lv = lp - p;
		float ll = length(lv);
		lv /= ll;
		float ao = clamp(scene(p + n * 0.06) / 0.06, 0.0, 1.0) * 0.5
		         + clamp(scene(p + n * 0.2) / 0.2, 0.0, 1.0) * 0.5;
		float dif = clamp(dot(n, lv), 0.0, 1.0) / (1.0 + 0.4 * ll * ll);
		float amb = 0.5 + 0.5 * n.y;
		vec3 base = mix(vec3(0.55, 0.5, 0.45), vec3(0.95, 0.55, 0.2), step(3.5, tr));
		base = mix(base, vec3(0.3, 0.45, 0.7), step(tr, 0.5));
		col = base * (1.1 * dif + 0.06 * amb) * ao;
		col += vec3(1.0, 0.85, 0.7) * pow(clamp(dot(reflect(rd, n), lv), 0.0, 1.0), 24.0) * dif * 2.0;
		col = mix(col, bg, 1.0 - exp(-0.006 * d * d));
	}
	col += vec3(0.25, 0.5, 1.0) * glow * 0.005;

	// drifting star charts
	vec2 sv = vec2(frag.x, 1.0 - frag.y);
	float w = (t - 10.0) / 50.0;
	vec3 lay = texture2D(iChannel5, sv * 0.9 + vec2(0.013 * t, 0.004 * t)).rgb
	         + texture2D(iChannel4, sv * 1.1 - vec2(0.007 * t, 0.011 * t)).rgb;
	col += w * lay;

	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));
	col *= 0.5 + 0.5 * pow(16.0 * frag.x * frag.y * (1.0 - frag.x) * (1.0 - frag.y), 0.15);
	gl_FragColor = vec4(col, 1.0);
}
