#version 120
// Land: the position is the only input. Heights are measured from the sea
// sphere of radius 1; one generation step is 1/1500 of the radius.

varying vec3 eyePosition; // eye space, for the surface normal and the view
varying vec3 radial;      // eye-space direction from the planet's centre
varying float height;     // radius - 1, in sea radii

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz;
    radial = gl_NormalMatrix * gl_Vertex.xyz;
    height = length(gl_Vertex.xyz) - 1.0;
    gl_Position = gl_ProjectionMatrix * eye;
}
