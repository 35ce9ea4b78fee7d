// Creature: a folded, rotated iterated-function body that turns and breathes in front of a
// fixed camera. The light that falls on it takes its colour from the noise picture.

#define ITERATIONS 20
#define MARCH_STEPS 10
#define SHADOW_STEPS 8
#define SCALE 2.0
#define BOUND 1.3
// Where the body sits in its own space: it is turned about this point and looked at there.
#define CENTRE vec3(0.0, 1.06, 0.0)

float t;
mat3 foldTurn;
mat3 bodyTurn;
vec3 foldOffset;

mat3 axisAngle(vec3 axis, float a)
{
	axis = normalize(axis);
	float s = sin(a);
	float c = cos(a);
	float k = 1.0 - c;
	return mat3(k * axis.x * axis.x + c, k * axis.x * axis.y + s * axis.z, k * axis.z * axis.x - s * axis.y,
	            k * axis.x * axis.y - s * axis.z, k * axis.y * axis.y + c, k * axis.y * axis.z + s * axis.x,
	            k * axis.z * axis.x + s * axis.y, k * axis.y * axis.z - s * axis.x, k * axis.z * axis.z + c);
}

// One mirror makes the body two-sided, like an animal; then tetrahedral folds, a turn and a
// scaling about the offset corner, twenty times. The turn and the offset sway slowly, and
// with them every limb. The body is turned about its own middle, so it stays in frame.
float creature(vec3 p)
{
	p = bodyTurn * p + CENTRE;
	float scale = 1.0;
	p.x = abs(p.x);
	for (int i = 0; i < ITERATIONS; i++) {
		if (p.x + p.y < 0.0) p.xy = -p.yx;
		if (p.x + p.z < 0.0) p.xz = -p.zx;
		if (p.y + p.z < 0.0) p.zy = -p.yz;
		p = foldTurn * p;
		p = p * SCALE - foldOffset * (SCALE - 1.0);
		scale *= SCALE;
	}
	return length(p) / scale - 0.004;
}

vec3 creatureNormal(vec3 p, float e)
{
	vec2 k = vec2(e, -e);
	return normalize(k.xyy * creature(p + k.xyy) + k.yyx * creature(p + k.yyx) +
	                 k.yxy * creature(p + k.yxy) + k.xxx * creature(p + k.xxx));
}

float softShadow(vec3 p, vec3 l)
{
	float res = 1.0;
	float s = 0.02;
	for (int i = 0; i < SHADOW_STEPS; i++) {
		float h = creature(p + l * s);
		res = min(res, 10.0 * h / s);
		s += clamp(h, 0.03, 0.4);
	}
	return clamp(res, 0.0, 1.0);
}

void main()
{
	vec2 q = gl_FragCoord.xy / iResolution.xy;
	if (q.y < 0.12 || q.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}

	t = iGlobalTime;
	foldTurn = axisAngle(vec3(0.3 + 0.1 * sin(0.31 * t), 1.0, 0.45), 0.9 + 0.12 * sin(0.53 * t));
	bodyTurn = axisAngle(vec3(0.0, 1.0, 0.0), 0.45 * sin(0.45 * t)) * axisAngle(vec3(1.0, 0.0, 0.0), 0.25 * sin(0.31 * t + 1.0));
	foldOffset = vec3(1.0, 1.0 + 0.12 * sin(0.7 * t), 1.0 + 0.1 * cos(0.45 * t));

	vec2 p = (2.0 * gl_FragCoord.xy - iResolution.xy) / iResolution.y;
	vec3 ro = vec3(0.0, 0.0, -2.4);
	vec3 fw = normalize(vec3(0.0, 0.0, 0.0) - ro);
	vec3 rt = normalize(cross(vec3(0.0, 1.0, 0.0), fw));
	vec3 rd = normalize(p.x * rt + p.y * cross(fw, rt) + 2.3 * fw);

	vec3 fogCol = vec3(0.006, 0.007, 0.012) + vec3(0.012, 0.009, 0.006) * (1.0 - abs(p.y));
	vec3 col = fogCol;

	// March only inside the body's bounding sphere: the ten steps all count.
	vec3 oc = ro;
	float b = dot(oc, rd);
	float h = b * b - dot(oc, oc) + BOUND * BOUND;
	if (h > 0.0) {
		h = sqrt(h);
		float s = max(-b - h, 0.0);
		float far = -b + h;
		float d = 1.0;
		float closest = 1e9;
		for (int i = 0; i < MARCH_STEPS; i++) {
			d = creature(ro + rd * s);
			closest = min(closest, d);
			if (d < 0.002 * s || s > far)
				break;
			s += d;
		}
		if (s < far && d < 0.02 * s) {
			vec3 pos = ro + rd * s;
			vec3 n = creatureNormal(pos, 0.0015 * s);
			vec3 l = normalize(vec3(-0.5, 0.8, -0.6));
			vec3 tint = texture2D(iChannel0, vec2(0.31 + 0.002 * t + 0.004 * n.x, 0.57 + 0.004 * n.y)).rgb;
			vec3 lightCol = vec3(1.1, 1.0, 0.9) * (0.45 + 1.1 * tint);
			float dif = clamp(dot(n, l), 0.0, 1.0);
			if (dif > 0.0)
				dif *= softShadow(pos + n * 0.005, l);
			float rim = pow(clamp(1.0 + dot(n, rd), 0.0, 1.0), 4.0);
			float fold = clamp(length(pos) / 2.0, 0.0, 1.0);
			vec3 albedo = mix(vec3(0.85, 0.62, 0.42), vec3(0.30, 0.40, 0.55), fold);
			col = albedo * (lightCol * dif + vec3(0.10, 0.12, 0.16) * (0.5 + 0.5 * n.y)) + 0.2 * rim * lightCol;
			float spe = pow(clamp(dot(reflect(rd, n), l), 0.0, 1.0), 20.0);
			col += 0.3 * spe * dif * lightCol;
			col = mix(fogCol, col, exp(-0.08 * (s - 3.0) * (s - 3.0)));
		} else {
			col += vec3(0.05, 0.04, 0.03) * exp(-30.0 * max(closest, 0.0));
		}
	}

	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));
	gl_FragColor = vec4(col, 1.0);
}
