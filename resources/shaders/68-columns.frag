// Columns: a forest of fluted columns, each folded sixteen times about its axis, drifting
// upwards past a circling camera. The old print and the winged figure drift in over it.

#define FOLDS 16
#define MAX_STEPS 256
#define AO_SAMPLES 16
#define SHADOW_STEPS 24
#define FAR 28.0
#define CELL 4.0

float t;
mat2 foldTurn;

float columns(vec3 p)
{
	p.y -= 0.35 * t;
	p.xz = mod(p.xz + 0.5 * CELL, CELL) - 0.5 * CELL;
	float r = length(p.xz);

	// Bands at every storey: a drum and a thin collar above it.
	float y = mod(p.y, 2.4) - 1.2;
	float drum = max(abs(y) - 0.16, r - 0.78 - 0.05 * cos(18.0 * y));
	float collar = max(abs(abs(y) - 0.3) - 0.035, r - 0.68);

	// Fold the cross-section again and again: every fold mirrors, turns and shifts it,
	// so one thin shaft becomes a cluster of fluted ones.
	vec2 q = p.xz;
	float shift = 0.13;
	for (int i = 0; i < FOLDS; i++) {
		q = abs(q);
		q = foldTurn * q - vec2(shift, 0.35 * shift);
		shift *= 0.8;
	}
	float shaft = length(q) - 0.05 - 0.012 * sin(p.y * 5.0 + r * 8.0);
	shaft = max(shaft, r - 0.62);
	float core = r - 0.2;
	return min(min(shaft, core), min(drum, collar));
}

vec3 columnsNormal(vec3 p)
{
	const vec2 e = vec2(0.002, -0.002);
	return normalize(e.xyy * columns(p + e.xyy) + e.yyx * columns(p + e.yyx) +
	                 e.yxy * columns(p + e.yxy) + e.xxx * columns(p + e.xxx));
}

float softShadow(vec3 p, vec3 l)
{
	float res = 1.0;
	float s = 0.03;
	for (int i = 0; i < SHADOW_STEPS; i++) {
		float h = columns(p + l * s);
		res = min(res, 8.0 * h / s);
		s += clamp(h, 0.04, 0.6);
		if (res < 0.01 || s > 8.0)
			break;
	}
	return clamp(res, 0.0, 1.0);
}

float hash(float n)
{
	return fract(sin(n) * 43758.5453);
}

// Sixteen probes spread over the hemisphere above the surface.
float occlusion(vec3 p, vec3 n)
{
	float occ = 0.0;
	for (int i = 0; i < AO_SAMPLES; i++) {
		float fi = float(i);
		float h = 0.02 + 0.5 * (fi + 1.0) / float(AO_SAMPLES);
		vec3 dir = normalize(vec3(hash(fi * 7.13) - 0.5, hash(fi * 3.71 + 1.0) - 0.5, hash(fi * 5.37 + 2.0) - 0.5));
		dir = normalize(n + 0.9 * dir * sign(dot(dir, n) + 0.001));
		occ += clamp((h - columns(p + dir * h)) / h, 0.0, 1.0);
	}
	return clamp(1.0 - 1.3 * occ / float(AO_SAMPLES), 0.0, 1.0);
}

void main()
{
	vec2 q = gl_FragCoord.xy / iResolution.xy;
	if (q.y < 0.12 || q.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}

	t = iGlobalTime;
	float fa = 0.42 + 0.03 * sin(0.2 * t);
	foldTurn = mat2(cos(fa), sin(fa), -sin(fa), cos(fa));

	float a = 0.12 * t + 0.8;
	vec3 ro = vec3(1.9 * cos(a), 0.4 * sin(0.17 * t), 1.9 * sin(a));
	vec3 ta = vec3(1.9 * cos(a + 0.9), 0.6, 1.9 * sin(a + 0.9));
	vec3 fw = normalize(ta - ro);
	vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
	vec3 up = cross(rt, fw);
	vec2 p = (2.0 * gl_FragCoord.xy - iResolution.xy) / iResolution.y;
	vec3 rd = normalize(p.x * rt + p.y * up + 1.5 * fw);

	vec3 l = normalize(vec3(0.5, 0.75, 0.3));
	float glow = pow(clamp(dot(rd, l), 0.0, 1.0), 6.0);
	vec3 fogCol = vec3(0.004, 0.006, 0.012) + vec3(0.09, 0.05, 0.02) * glow + vec3(0.01, 0.012, 0.02) * clamp(rd.y + 0.5, 0.0, 1.0);

	float s = 0.0;
	float d = 1.0;
	for (int i = 0; i < MAX_STEPS; i++) {
		d = columns(ro + rd * s);
		if (d < 0.0007 * s || s > FAR)
			break;
		s += d;
	}

	vec3 col = fogCol;
	if (s < FAR) {
		vec3 pos = ro + rd * s;
		vec3 n = columnsNormal(pos);
		float dif = clamp(dot(n, l), 0.0, 1.0);
		if (dif > 0.0)
			dif *= softShadow(pos + n * 0.01, l);
		float occ = occlusion(pos, n);
		float spe = pow(clamp(dot(reflect(rd, n), l), 0.0, 1.0), 16.0);
		vec3 stone = vec3(0.45, 0.38, 0.30) * (0.85 + 0.15 * sin(pos.y * 3.0 + 0.35 * t * 3.0));
		col = stone * (vec3(1.9, 1.45, 1.0) * dif + vec3(0.05, 0.07, 0.11) * occ * (0.5 + 0.5 * n.y));
		col *= 0.4 + 0.6 * occ;
		col += 0.35 * spe * dif * vec3(1.0, 0.85, 0.6);
		col = mix(fogCol, col, exp(-0.045 * s * s));
	}
	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));
	col *= 0.55 + 0.45 * pow(16.0 * q.x * (1.0 - q.x) * (q.y - 0.12) * (0.88 - q.y) / 0.5776, 0.3);

	vec2 b = vec2(q.x, (q.y - 0.12) / 0.76);
	vec2 uv4 = vec2(0.08 + 0.84 * b.x + 0.006 * t, 0.92 - 0.84 * b.y + 0.002 * t);
	vec2 uv5 = vec2(0.12 + 0.76 * b.x - 0.004 * t, 0.88 - 0.76 * b.y - 0.003 * t);
	// The print is white lines on black: its lines are screened over the scene by their
	// brightness, so while the weight is below zero they are cut into it as dark engraving
	// and from ten seconds on they shine. The winged figure is ink on pale paper: only its
	// ink counts, and it darkens the scene like a shadow cast through the picture.
	float print = dot(texture2D(iChannel4, uv4).rgb, vec3(0.299, 0.587, 0.114));
	col += (t - 10.0) / 25.0 * 0.6 * print * (1.0 - col);
	float paper = dot(texture2D(iChannel5, uv5).rgb, vec3(0.299, 0.587, 0.114));
	float ink = smoothstep(0.75, 0.1, paper);
	col *= 1.0 - (t + 10.0) / 25.0 * 0.4 * ink;

	gl_FragColor = vec4(clamp(col, 0.0, 1.0), 1.0);
}
