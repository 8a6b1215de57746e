#version 120
// Land: the position is the only input. Heights are measured from the sea
// sphere of radius 1; one generation step is 1/1500 of the radius.

varying vec3 eyePosition; // eye space, for the surface normal and the view
varying vec3 radial;      // eye-space direction from the planet's centre
varying float height;     // radius - 1, in sea radii
varying vec3 sunlight;    // the sun's colour here: 0 at night, reddened at dusk
varying float haze;       // 0 to 1: the air seen edge-on towards the limb

// The day side's edge, in the cosine of the sun's height above the horizon
// of the smooth sphere: dusk spans about 20 degrees across the terminator.
const float DUSK_FROM = -0.12;
const float DUSK_TO = 0.22;

// The sun, in eye space: far away up and to the left of the camera, from
// world direction (2.4, 1.5, 2.0) as the camera on the +x axis sees it. It
// stays with the camera whatever the distance and the user's turn.
const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4));

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz;
    radial = gl_NormalMatrix * gl_Vertex.xyz;
    height = length(gl_Vertex.xyz) - 1.0;
    gl_Position = gl_ProjectionMatrix * eye;

    // Smooth across the sphere, so worked out per vertex: the facet normal
    // that shades the relief stays per fragment.
    vec3 up = normalize(radial);
    float sunHeight = dot(up, SUN);
    float day = smoothstep(DUSK_FROM, DUSK_TO, sunHeight);
    vec3 dusk = vec3(1.0, 0.62, 0.42);
    sunlight = day * mix(dusk, vec3(1.0), smoothstep(0.0, 0.45, sunHeight));
    float edgeOn = 1.0 - max(dot(up, normalize(-eye.xyz)), 0.0);
    haze = edgeOn * edgeOn * edgeOn * (0.25 + 0.75 * day);
}
