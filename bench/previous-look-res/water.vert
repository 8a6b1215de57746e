#version 120
// Sea sphere of radius 1: its position is also its normal.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 sunlight; // the sun's colour here: 0 at night, reddened at dusk

// As the land has them (res/land.vert), so sea and shore darken together.
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
    eyeNormal = gl_NormalMatrix * gl_Vertex.xyz;
    gl_Position = gl_ProjectionMatrix * eye;

    float sunHeight = dot(normalize(eyeNormal), SUN);
    float day = smoothstep(DUSK_FROM, DUSK_TO, sunHeight);
    sunlight = day * mix(vec3(1.0, 0.62, 0.42), vec3(1.0), smoothstep(0.0, 0.45, sunHeight));
}
