#version 120
// The sea: the unit sphere drawn at the sea's radius, its position also its
// normal, with the land under each vertex as texture coordinate 0. With
// airRadius set: the ring around the limb the air's glow is drawn on.

uniform float seaRadius;   // the sea sphere's radius; 1 is the generated sea level
uniform float reliefScale; // depths are seen divided by this; 1 as generated
uniform float airRadius;   // 0 for the sea; otherwise the air's outer radius, in sea radii
uniform int view;          // what the land is coloured by: ClimateView's number

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 sunlight; // the sun's colour here: 0 at night, reddened at dusk
varying float depth;   // of the sea here, in generation steps (1/1500 of the radius)
varying vec3 centre;   // the planet's centre, eye space
varying float frozen;  // 1 where the climate (texture coordinate 1's class) freezes the sea

const float STEPS_PER_UNIT = 1500.0;

// @seaIce

// As the land has them (res/land.vert), so sea and shore darken together.
const float DUSK_FROM = -0.12;
const float DUSK_TO = 0.22;

// The sun, in eye space: far away up and to the left of the camera, from
// world direction (2.4, 1.5, 2.0) as the camera on the +x axis sees it. It
// stays with the camera whatever the distance and the user's turn.
const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4));

// The air's ring around the limb as seen: gl_Vertex is the cosine and sine
// of the angle about the centre and the edge, 0 just inside the sea's limb,
// 1 at the air's. Each edge lies where the view grazes a sphere of its
// radius about the centre.
vec3 ringPoint()
{
    float distance = length(centre);
    vec3 towards = centre / distance;
    vec3 across = normalize(cross(towards, abs(towards.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
    vec3 up = cross(across, towards);
    float radius = mix(0.98 * seaRadius, airRadius, gl_Vertex.z);
    float circle = radius * sqrt(distance * distance - radius * radius) / distance;
    return centre - towards * (radius * radius / distance) + circle * (gl_Vertex.x * across + gl_Vertex.y * up);
}

void main()
{
    centre = (gl_ModelViewMatrix * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
    if (airRadius > 0.0) {
        eyePosition = ringPoint();
        gl_Position = gl_ProjectionMatrix * vec4(eyePosition, 1.0);
        return;
    }
    vec4 eye = gl_ModelViewMatrix * vec4(gl_Vertex.xyz * seaRadius, 1.0);
    eyePosition = eye.xyz;
    eyeNormal = gl_NormalMatrix * gl_Vertex.xyz;
    depth = (seaRadius - length(gl_MultiTexCoord0.xyz)) * STEPS_PER_UNIT / reliefScale;
    gl_Position = gl_ProjectionMatrix * eye;
    frozen = seaIce(gl_MultiTexCoord1.z);

    float sunHeight = dot(normalize(eyeNormal), SUN);
    float day = smoothstep(DUSK_FROM, DUSK_TO, sunHeight);
    sunlight = day * mix(vec3(1.0, 0.62, 0.42), vec3(1.0), smoothstep(0.0, 0.45, sunHeight));
}
