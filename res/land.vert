#version 120
// Land: the position, and the welded land's smooth normal where the program
// sends one. Heights are measured from the sea sphere; one generation step
// is 1/1500 of the radius.

uniform float seaRadius;   // the sea sphere's radius; 1 is the generated sea level
uniform float reliefScale; // the colour bands see heights divided by this; 1 as generated
uniform int view;          // what the land is coloured by: ClimateView's number

varying vec3 eyePosition;  // eye space, for the facet normal and the view
varying vec3 radial;       // eye-space direction from the planet's centre
varying vec3 smoothNormal; // eye space: the land's area-weighted vertex normal
varying float height;      // above the sea, in sea radii, divided by reliefScale
varying vec3 sunlight;     // the sun's colour here: 0 at night, reddened at dusk
varying float haze;        // 0 to 1: the air seen edge-on towards the limb
varying float latitude;    // its sine: model-space y over the radius (+y is north)
varying vec3 viewColour;   // the climate view's colour of the land here, from the climate
                           // (texture coordinate 1: temperature, rain, class number)
varying float ice;         // 1 where the climate's class is land ice or sea ice; 0 elsewhere,
                           // and everywhere while the climate is not known (class 0, the open sea)

// The day side's edge, in the cosine of the sun's height above the horizon
// of the smooth sphere: dusk spans about 20 degrees across the terminator.
const float DUSK_FROM = -0.12;
const float DUSK_TO = 0.22;

// The sun, in eye space: far away up and to the left of the camera, from
// world direction (2.4, 1.5, 2.0) as the camera on the +x axis sees it. It
// stays with the camera whatever the distance and the user's turn.
const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4));

// @climateColour

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = eye.xyz;
    radial = gl_NormalMatrix * gl_Vertex.xyz;
    smoothNormal = gl_NormalMatrix * gl_Normal;
    height = (length(gl_Vertex.xyz) - seaRadius) / reliefScale;
    latitude = gl_Vertex.y / length(gl_Vertex.xyz);
    gl_Position = gl_ProjectionMatrix * eye;
    viewColour = climateColour(view, gl_MultiTexCoord1.xyz);
    ice = iceClass(gl_MultiTexCoord1.z);

    // Smooth across the sphere, so worked out per vertex.
    vec3 up = normalize(radial);
    float sunHeight = dot(up, SUN);
    float day = smoothstep(DUSK_FROM, DUSK_TO, sunHeight);
    vec3 dusk = vec3(1.0, 0.62, 0.42);
    sunlight = day * mix(dusk, vec3(1.0), smoothstep(0.0, 0.45, sunHeight));
    float edgeOn = 1.0 - max(dot(up, normalize(-eye.xyz)), 0.0);
    haze = edgeOn * edgeOn * edgeOn * (0.25 + 0.75 * day);
}
