#version 120
// Sea sphere of radius 1: its position is also its normal.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 sunlight; // the sun's colour here: 0 at night, reddened at dusk
varying float latitude; // its sine: model-space y over the radius (+y is north)

// As the land has them (res/land.vert), so sea and shore darken together.
const float DUSK_FROM = -0.12;
const float DUSK_TO = 0.22;

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz;
    eyeNormal = gl_NormalMatrix * gl_Vertex.xyz;
    gl_Position = gl_ProjectionMatrix * eye;
    latitude = gl_Vertex.y / length(gl_Vertex.xyz);

    float sunHeight = dot(normalize(eyeNormal), normalize(gl_LightSource[0].position.xyz));
    float day = smoothstep(DUSK_FROM, DUSK_TO, sunHeight);
    sunlight = day * mix(vec3(1.0, 0.62, 0.42), vec3(1.0), smoothstep(0.0, 0.45, sunHeight));
}
