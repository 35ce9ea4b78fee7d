// Rock, first light: a rock that wears away, tunnelled by two capsules, with the quotation
// card laid over the opening seconds and the old print drifting in later.

#define TRACE_STEPS 16
#define CLOCK_AHEAD 0.0
#define SHRINK_RATE 0.035
#define TURN_RATE 0.12
#define LIGHT_DIR normalize(vec3(0.6, 0.55, -0.45))
#define ROCK_DARK vec3(0.20, 0.15, 0.11)
#define ROCK_LIGHT vec3(0.62, 0.52, 0.40)
#define GROUND_COL vec3(0.36, 0.31, 0.26)
#define SKY_LOW vec3(0.70, 0.66, 0.60)
#define SKY_HIGH vec3(0.28, 0.36, 0.48)

float growClock;
float turnClock;
float rockRadius;
vec3 rockCentre;

float hash13(vec3 p)
{
	p = fract(p * 0.1031);
	p += dot(p, p.zyx + 31.32);
	return fract((p.x + p.y) * p.z);
}

float valueNoise(vec3 x)
{
	vec3 i = floor(x);
	vec3 f = fract(x);
	f = f * f * (3.0 - 2.0 * f);
	float a = hash13(i);
	float b = hash13(i + vec3(1.0, 0.0, 0.0));
	float c = hash13(i + vec3(0.0, 1.0, 0.0));
	float d = hash13(i + vec3(1.0, 1.0, 0.0));
	float e = hash13(i + vec3(0.0, 0.0, 1.0));
	float g = hash13(i + vec3(1.0, 0.0, 1.0));
	float h = hash13(i + vec3(0.0, 1.0, 1.0));
	float k = hash13(i + vec3(1.0, 1.0, 1.0));
	return mix(mix(mix(a, b, f.x), mix(c, d, f.x), f.y),
	           mix(mix(e, g, f.x), mix(h, k, f.x), f.y), f.z);
}

// Four octaves, each rotated off the lattice so the layers don't line up.
float fbm(vec3 p)
{
	const mat3 m = mat3(0.00, 0.80, 0.60, -0.80, 0.36, -0.48, -0.60, -0.48, 0.64);
	float sum = 0.0;
	float amp = 0.5;
	for (int i = 0; i < 4; i++) {
		sum += amp * valueNoise(p);
		p = m * p * 2.02;
		amp *= 0.5;
	}
	return sum;
}

// Removes `cut` from `d`, rounding the rim by k.
float smoothCut(float d, float cut, float k)
{
	float h = clamp(0.5 - 0.5 * (d + cut) / k, 0.0, 1.0);
	return mix(d, -cut, h) + k * h * (1.0 - h);
}

float capsuleDistance(vec3 p, vec3 a, vec3 b, float r)
{
	vec3 pa = p - a;
	vec3 ba = b - a;
	float h = clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
	return length(pa - ba * h) - r;
}

float rockShape(vec3 p)
{
	float d = length(p - rockCentre) - rockRadius;
	// Two tunnels that wheel slowly through the rock.
	float a = 0.15 * growClock;
	vec3 axis1 = vec3(cos(a), 0.25, sin(a)) * 1.5 * rockRadius;
	vec3 axis2 = vec3(sin(1.3 * a + 1.0), 1.0, cos(1.3 * a + 1.0) * 0.4) * 1.4 * rockRadius;
	vec3 off = vec3(0.0, 0.15 * rockRadius, 0.0);
	d = smoothCut(d, capsuleDistance(p, rockCentre + off - axis1, rockCentre + off + axis1, 0.3 * rockRadius), 0.1 * rockRadius);
	d = smoothCut(d, capsuleDistance(p, rockCentre - axis2, rockCentre + axis2, 0.24 * rockRadius), 0.1 * rockRadius);
	return d;
}

float rockDistance(vec3 p)
{
	float d = rockShape(p);
	// Noise only matters near the surface; far away the plain shape is enough.
	if (d < 0.3)
		d += (fbm(p * 2.6 / rockRadius) - 0.5) * 0.3 * rockRadius;
	return d;
}

vec3 rockNormal(vec3 p)
{
	const vec2 e = vec2(0.004, -0.004);
	return normalize(e.xyy * rockDistance(p + e.xyy) + e.yyx * rockDistance(p + e.yyx) +
	                 e.yxy * rockDistance(p + e.yxy) + e.xxx * rockDistance(p + e.xxx));
}

float rockOcclusion(vec3 p, vec3 n)
{
	float occ = 0.0;
	float w = 1.0;
	for (int i = 1; i <= 5; i++) {
		float h = 0.03 + 0.07 * float(i);
		occ += w * (h - rockDistance(p + n * h));
		w *= 0.7;
	}
	return clamp(1.0 - 2.2 * occ, 0.0, 1.0);
}

// Entry and exit distances of a ray through a sphere, or (-1, -1).
vec2 sphereSpan(vec3 ro, vec3 rd, vec3 c, float r)
{
	vec3 oc = ro - c;
	float b = dot(oc, rd);
	float h = b * b - dot(oc, oc) + r * r;
	if (h < 0.0)
		return vec2(-1.0);
	h = sqrt(h);
	return vec2(-b - h, -b + h);
}

// Soft shadow of the rock's bounding sphere: cheap and smooth on the ground.
float sphereShadow(vec3 p, vec3 l, vec3 c, float r)
{
	vec3 oc = p - c;
	float b = dot(oc, l);
	if (b > 0.0)
		return 1.0;
	float d = sqrt(max(dot(oc, oc) - b * b, 0.0)) - r;
	return smoothstep(0.0, 1.0, clamp(3.0 * d / -b + 0.25, 0.0, 1.0));
}

// The card stands in the band at its own proportions (1900 x 1200), black beside it.
vec3 card(vec2 b)
{
	float aspect = iResolution.x / (0.76 * iResolution.y);
	vec2 uv = vec2(0.5 + (b.x - 0.5) * aspect / 1.5833, 1.0 - b.y);
	if (uv.x < 0.0 || uv.x > 1.0)
		return vec3(0.0);
	return texture2D(iChannel2, uv).rgb;
}

vec3 sky(vec3 rd)
{
	float up = clamp(rd.y, 0.0, 1.0);
	vec3 col = mix(SKY_LOW, SKY_HIGH, pow(up, 0.6));
	float sun = max(dot(rd, LIGHT_DIR), 0.0);
	return col + vec3(1.0, 0.85, 0.6) * (0.25 * pow(sun, 8.0) + 0.6 * pow(sun, 200.0));
}

void main()
{
	vec2 q = gl_FragCoord.xy / iResolution.xy;
	if (q.y < 0.12 || q.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}

	float t = iGlobalTime;
	growClock = t + CLOCK_AHEAD;
	turnClock = t + CLOCK_AHEAD;
	rockRadius = 0.35 + 0.85 * exp(-SHRINK_RATE * growClock);
	rockCentre = vec3(0.0, 0.8 * rockRadius, 0.0);

	float yaw = 0.6 + TURN_RATE * turnClock;
	float pitch = 0.32 + 0.08 * sin(0.4 * turnClock);
	if (iMouse.z > 0.0) {
		yaw = 6.2832 * iMouse.x / iResolution.x;
		pitch = 0.05 + 1.2 * clamp(iMouse.y / iResolution.y, 0.0, 1.0);
	}
	vec3 target = vec3(0.0, 0.6 * rockRadius, 0.0);
	float dist = 2.2 + 2.2 * rockRadius;
	vec3 ro = target + dist * vec3(cos(pitch) * sin(yaw), sin(pitch), cos(pitch) * cos(yaw));
	vec3 fw = normalize(target - ro);
	vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
	vec3 up = cross(rt, fw);
	vec2 p = (2.0 * gl_FragCoord.xy - iResolution.xy) / iResolution.y;
	vec3 rd = normalize(p.x * rt + p.y * up + 1.8 * fw);

	vec3 col = sky(rd);
	float tHit = 1e9;
	float tGround = rd.y < 0.0 ? -ro.y / rd.y : 1e9;

	vec2 span = sphereSpan(ro, rd, rockCentre, rockRadius * 1.25 + 0.05);
	if (span.y > 0.0) {
		float s = max(span.x, 0.0);
		float d = 1.0;
		for (int i = 0; i < TRACE_STEPS; i++) {
			d = rockDistance(ro + rd * s);
			if (d < 0.002 * s || s > span.y)
				break;
			s += 0.85 * d;
		}
		if (d < 0.04 && s < span.y && s < tGround)
			tHit = s;
	}

	vec3 l = LIGHT_DIR;
	if (tHit < 1e8) {
		vec3 pos = ro + rd * tHit;
		vec3 n = rockNormal(pos);
		float occ = rockOcclusion(pos, n);
		float grain = fbm(pos * 9.0);
		vec3 albedo = mix(ROCK_DARK, ROCK_LIGHT, smoothstep(0.25, 0.75, grain));
		albedo *= 0.75 + 0.25 * smoothstep(-0.2, 0.6, n.y);
		float dif = clamp(dot(n, l), 0.0, 1.0);
		vec3 h = normalize(l - rd);
		float spe = pow(clamp(dot(n, h), 0.0, 1.0), 24.0) * dif * (0.2 + 0.8 * grain);
		float bounce = clamp(0.5 - 0.5 * n.y, 0.0, 1.0);
		col = albedo * (vec3(1.3, 1.2, 1.0) * dif + SKY_HIGH * 0.9 * occ * (0.6 + 0.4 * n.y) + GROUND_COL * 0.4 * bounce * occ);
		col += vec3(1.0, 0.9, 0.75) * 0.45 * spe;
		col = mix(col, sky(rd) * 0.9, 1.0 - exp(-0.004 * tHit * tHit));
	} else if (tGround < 1e8) {
		vec3 pos = ro + rd * tGround;
		float n = fbm(vec3(pos.xz * 1.7, 0.5));
		vec3 albedo = GROUND_COL * (0.75 + 0.5 * n);
		float r = length(pos.xz - rockCentre.xz);
		float occ = clamp(0.35 + 0.65 * (r - 0.75 * rockRadius) / rockRadius, 0.0, 1.0);
		float sh = sphereShadow(pos, l, rockCentre, rockRadius * 0.95);
		col = albedo * (vec3(1.2, 1.1, 0.95) * l.y * sh + SKY_HIGH * 0.7 * occ);
		col = mix(col, sky(rd), 1.0 - exp(-0.0025 * tGround * tGround));
	}

	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));
	vec2 b = vec2(q.x, (q.y - 0.12) / 0.76);
	col *= 0.35 + 0.65 * pow(16.0 * b.x * b.y * (1.0 - b.x) * (1.0 - b.y), 0.2);

	if (t < 14.0)
		col += clamp(t / 2.0, 0.0, 1.0) * card(b);
	if (t >= 16.0) {
		vec2 uv = vec2(0.06 + 0.88 * b.x + 0.004 * t, 0.94 - 0.88 * b.y + 0.0015 * t);
		col += (t - 16.0) / 25.0 * texture2D(iChannel1, uv).rgb;
	}
	gl_FragColor = vec4(col, 1.0);
}
