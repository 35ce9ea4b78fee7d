// Card scene: the card fills the frame and slowly comes closer. In front of
// it a small planet and its moon wheel about each other, seen by a camera
// that circles them; they shade and shadow each other analytically. A star
// chart drifts over everything, then a filmic grade.

#define PI 3.14159265

const vec3 sunDir = vec3(0.09, 0.41, 0.91);

vec4 planet;
vec4 moon;

float hash(vec2 p)
{
	return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

vec3 linear(vec3 c)
{
	return pow(c, vec3(2.2));
}

// card, straight off channel 1; rows are stored top first
vec3 card(vec2 frag, float t)
{
	vec2 c = 0.5 + (frag - 0.5) / (1.0 + 0.012 * t);
	return linear(texture2D(iChannel1, vec2(c.x, 1.0 - c.y)).rgb);
}

// penumbra from a sphere blocking the way from p along the unit ray rd
float sphereShadow(vec3 p, vec3 rd, vec4 s, float k)
{
	vec3 oc = s.xyz - p;
	float along = dot(oc, rd);
	if (along <= 0.0) return 1.0;
	float miss = length(oc - rd * along) - s.w;
	return smoothstep(0.0, 1.0, clamp(k * miss / along + 0.5, 0.0, 1.0));
}

// sky the sphere s hides from a point with normal n
float sphereOcclusion(vec3 p, vec3 n, vec4 s)
{
	vec3 r = s.xyz - p;
	float l = length(r);
	return 1.0 - clamp(dot(n, r / l) * (s.w * s.w) / (l * l), 0.0, 1.0);
}

// x: distance along the ray, y: pixel coverage
vec2 hitSphere(vec3 ro, vec3 rd, vec4 s, float pix)
{
	vec3 oc = s.xyz - ro;
	float along = dot(oc, rd);
	if (along <= 0.0) return vec2(-1.0, 0.0);
	vec3 perp = oc - rd * along;
	float m2 = dot(perp, perp);
	float miss = sqrt(m2) - s.w;
	float cover = clamp(0.5 - miss / (along * pix), 0.0, 1.0);
	return vec2(along - sqrt(max(s.w * s.w - m2, 0.0)), cover);
}

vec2 equirect(vec3 n, float spin)
{
	return vec2(atan(n.z, n.x) / (2.0 * PI) + spin, acos(clamp(n.y, -1.0, 1.0)) / PI);
}

vec3 shadePlanet(vec3 p, vec3 rd, float t)
{
	vec3 n = normalize(p - planet.xyz);
	vec3 alb = linear(texture2D(iChannel2, equirect(n, 0.03 * t)).rgb);
	float dif = max(dot(n, sunDir), 0.0) * sphereShadow(p, sunDir, moon, 6.0);
	float amb = 0.04 * sphereOcclusion(p, n, moon);
	float fres = pow(1.0 - max(dot(n, -rd), 0.0), 3.0);
	vec3 col = alb * (1.6 * dif + amb);
	col += vec3(0.25, 0.5, 1.0) * fres * (0.15 + 0.85 * smoothstep(-0.2, 0.6, dot(n, sunDir)));
	vec3 h = normalize(sunDir - rd);
	col += 0.25 * pow(max(dot(n, h), 0.0), 40.0) * dif;
	return col;
}

vec3 shadeMoon(vec3 p, vec3 rd, float t)
{
	vec3 n = normalize(p - moon.xyz);
	vec3 alb = linear(texture2D(iChannel3, equirect(n, -0.05 * t)).rgb);
	float dif = max(dot(n, sunDir), 0.0) * sphereShadow(p, sunDir, planet, 6.0);
	float amb = 0.03 * sphereOcclusion(p, n, planet);
	// light thrown back by the planet's lit face
	vec3 toP = normalize(planet.xyz - p);
	float bounce = max(dot(n, toP), 0.0) * max(dot(-toP, sunDir), 0.0) * 0.06;
	return alb * (1.5 * dif + amb + bounce * vec3(0.5, 0.7, 1.0));
}

// spheres over black; rgb colour, a coverage
vec4 spheres(vec2 frag, float t)
{
	float a = 0.55 * t + 1.3;
	vec3 axis = vec3(cos(a), 0.18 * sin(0.8 * a), sin(a));
	planet = vec4(-0.3 * axis, 0.55);
	moon = vec4(1.25 * axis + vec3(0.0, 0.1 * sin(1.3 * t), 0.0), 0.24);

	float ca = 0.21 * t + 0.4;
	vec3 ro = vec3(9.0 * sin(ca), 1.6 + 0.6 * sin(0.3 * t), 9.0 * cos(ca));
	vec3 fw = normalize(-ro);
	vec3 rt = normalize(cross(vec3(0.0, 1.0, 0.0), fw));
	vec3 up = cross(fw, rt);
	// the pair sits in the lower right, clear of the card's lettering
	vec2 uv = (frag * iResolution.xy - 0.5 * iResolution.xy) / iResolution.y - vec2(0.5, -0.255);
	float focal = 1.6;
	vec3 rd = normalize(uv.x * rt + uv.y * up + focal * fw);
	float pix = 1.0 / (iResolution.y * focal);

	vec2 hp = hitSphere(ro, rd, planet, pix);
	vec2 hm = hitSphere(ro, rd, moon, pix);
	vec4 far = vec4(0.0), near = vec4(0.0);
	vec4 cp = vec4(0.0), cm = vec4(0.0);
	if (hp.y > 0.0) cp = vec4(shadePlanet(ro + rd * hp.x, rd, t), hp.y);
	if (hm.y > 0.0) cm = vec4(shadeMoon(ro + rd * hm.x, rd, t), hm.y);
	if (hp.x < hm.x || hm.y <= 0.0) { near = cp; far = cm; } else { near = cm; far = cp; }
	if (hp.y <= 0.0) { near = cm; far = vec4(0.0); }
	vec4 o;
	o.a = near.a + far.a * (1.0 - near.a);
	o.rgb = near.rgb * near.a + far.rgb * far.a * (1.0 - near.a);
	o.rgb /= max(o.a, 1e-4);
	return o;
}

void main()
{
	vec2 frag = gl_FragCoord.xy / iResolution.xy;
	if (frag.y < 0.12 || frag.y >= 0.88) {
		gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
		return;
	}
	float t = iGlobalTime;

	vec3 col = card(frag, t);
	vec4 s = spheres(frag, t);
	col = mix(col, s.rgb, s.a);

	vec2 sv = vec2(frag.x, 1.0 - frag.y);
	vec3 chart = linear(texture2D(iChannel4, sv * 0.5 + vec2(0.02 + 0.009 * t, 0.25 - 0.004 * t)).rgb);
	col += chart * (t - 10.0) / 25.0;

	col = pow(clamp(col, 0.0, 1.0), vec3(1.0 / 2.2));
	col = mix(col, col * col * (3.0 - 2.0 * col), 0.4);
	col *= 0.35 + 0.65 * pow(16.0 * frag.x * frag.y * (1.0 - frag.x) * (1.0 - frag.y), 0.12);
	col += (hash(gl_FragCoord.xy + fract(t) * 91.0) - 0.5) / 255.0;
	gl_FragColor = vec4(col, 1.0);
}
