// Clouds: a sea of cloud tops marched through as a volume, under a sky that brightens
// as the seconds pass, laid half and half with the photograph of the cloud tops.

#define MAX_STEPS 128
#define LAYER_BOTTOM -1.6
#define LAYER_TOP 0.45

float t;

// Value noise from the noise picture: the layer for integer z sits (37, 17) texels on from
// the one below, and the green channel holds the red of the layer below, so one bilinear
// fetch gives two neighbouring layers to blend by the fraction of z.
float noise(vec3 x)
{
	vec3 p = floor(x);
	vec3 f = fract(x);
	f = f * f * (3.0 - 2.0 * f);
	vec2 uv = p.xy + vec2(37.0, 17.0) * p.z + f.xy;
	vec2 gr = texture2D(iChannel0, (uv + 0.5) / 256.0).yx;
	return mix(gr.x, gr.y, f.z);
}

float density(vec3 p)
{
	vec3 q = 0.8 * p - vec3(0.35, 0.02, 0.6) * t;
	float f = 0.5 * noise(q);
	q = q * 2.02;
	f += 0.25 * noise(q);
	q = q * 2.03;
	f += 0.125 * noise(q);
	q = q * 2.01;
	f += 0.0625 * noise(q);
	return clamp(2.4 * f - 1.05 - 0.5 * p.y, 0.0, 1.0);
}

void main()
{
	vec2 q = gl_FragCoord.xy / iResolution.xy;
	if (q.y < 0.12 || q.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}

	t = iGlobalTime;
	vec2 m = iMouse.xy / iResolution.xy;
	float yaw = 0.4 + 3.0 * m.x;
	float pitch = -0.16 + 0.5 * m.y;
	vec3 ro = vec3(0.0, 0.85, 0.0);
	vec3 fw = vec3(cos(pitch) * sin(yaw), sin(pitch), cos(pitch) * cos(yaw));
	vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
	vec3 up = cross(rt, fw);
	vec2 p = (2.0 * gl_FragCoord.xy - iResolution.xy) / iResolution.y;
	vec3 rd = normalize(p.x * rt + p.y * up + 1.6 * fw);

	vec3 sun = normalize(vec3(-0.6, 0.25, 0.75));
	float sunAmount = clamp(dot(rd, sun), 0.0, 1.0);
	float skyLight = 0.05 * t;
	vec3 sky = skyLight * (vec3(0.55, 0.68, 0.82) - 0.35 * rd.y * vec3(1.0, 0.6, 0.2) +
	                       vec3(1.0, 0.6, 0.25) * 0.35 * pow(sunAmount, 6.0));
	sky += vec3(1.0, 0.8, 0.5) * pow(sunAmount, 300.0);

	// Only the slab of the layer is marched.
	float s0 = 0.0;
	float s1 = 0.0;
	if (rd.y < 0.0) {
		s0 = max((LAYER_TOP - ro.y) / rd.y, 0.0);
		s1 = (LAYER_BOTTOM - ro.y) / rd.y;
	} else if (ro.y < LAYER_TOP) {
		s1 = (LAYER_TOP - ro.y) / max(rd.y, 1e-3);
	}
	s1 = min(s1, 30.0);

	vec4 sum = vec4(0.0);
	float s = s0;
	for (int i = 0; i < MAX_STEPS; i++) {
		if (s > s1 || sum.a > 0.98)
			break;
		vec3 pos = ro + rd * s;
		float den = density(pos);
		if (den > 0.01) {
			float lit = clamp((den - density(pos + 0.3 * sun)) / 0.6, 0.0, 1.0);
			vec3 light = vec3(0.62, 0.65, 0.72) * (0.25 + 0.75 * skyLight) + vec3(1.0, 0.62, 0.35) * 1.4 * lit;
			vec4 c = vec4(mix(vec3(1.0, 0.95, 0.85), vec3(0.2, 0.25, 0.32), den), den);
			c.rgb *= light;
			c.a *= 0.35;
			c.rgb *= c.a;
			sum += c * (1.0 - sum.a);
		}
		s += max(0.05, 0.03 * s);
	}
	sum.rgb = mix(sum.rgb, sky * sum.a, 1.0 - exp(-0.0015 * s * s));

	vec3 col = sum.rgb + sky * (1.0 - sum.a);
	col = pow(clamp(col, 0.0, 1.0), vec3(0.4545));

	vec2 b = vec2(q.x, (q.y - 0.12) / 0.76);
	vec2 uv = 0.5 + (b - 0.5) / (1.0 + 0.015 * t);
	vec3 photo = texture2D(iChannel2, vec2(uv.x, 1.0 - uv.y)).rgb;
	gl_FragColor = vec4(0.5 * (col + photo), 1.0);
}
