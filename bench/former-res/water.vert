#version 120
// Sea sphere of radius 1: its position is also its normal.

varying vec3 eyePosition;
varying vec3 eyeNormal;

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz;
    eyeNormal = gl_NormalMatrix * gl_Vertex.xyz;
    gl_Position = gl_ProjectionMatrix * eye;
}
