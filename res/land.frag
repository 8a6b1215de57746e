#version 120
// Land colour by height, lit by the sun: shaded smooth with the welded
// land's vertex normals, or by facets, whose normal comes from the
// screen-space derivatives of the eye position.

uniform bool faceted; // each triangle flat, as the mesh is
uniform int view;     // what the land is coloured by: ClimateView's number
uniform bool river;       // drawing the rivers over the land: riverColour instead of the land's
uniform vec3 riverColour; // linear RGB: the palette's fresh water (TerrainColours)

varying vec3 eyePosition;
varying vec3 radial;
varying vec3 smoothNormal;
varying float height;
varying vec3 sunlight;
varying float haze;
varying float latitude;
varying vec3 viewColour;
varying float ice; // the climate's ice: land ice or sea ice (res/land.vert)

const float STEPS_PER_UNIT = 1500.0;

// Bands in steps above the sea. 5000 iterations leave most of the land
// within about 150 steps of it, the highest peaks near 250.

// @terrainColour

// The sun, in eye space: far away up and to the left of the camera, from
// world direction (2.4, 1.5, 2.0) as the camera on the +x axis sees it. It
// stays with the camera whatever the distance and the user's turn.
const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4));

vec3 surfaceNormal(vec3 up)
{
    if (!faceted)
        return normalize(smoothNormal);
    vec3 facet = normalize(cross(dFdx(eyePosition), dFdy(eyePosition)));
    return dot(facet, up) < 0.0 ? -facet : facet;
}

void main()
{
    vec3 up = normalize(radial);
    vec3 normal = surfaceNormal(up);
    // The sea floor is seen through water that smooths its relief away, and
    // the sea draws the air over it.
    float air = haze;
    if (height < 0.0) {
        normal = up;
        air = 0.0;
    }

    float diffuse = max(dot(normal, SUN), 0.0);
    // Starlight keeps the continents faintly readable on the night side.
    vec3 light = vec3(0.05, 0.06, 0.09) + sunlight * (0.2 + 0.85 * diffuse);

    // The heights view lays the climate's ice over the heights' colours; the
    // climate views colour the land above the sea by the climate, and the
    // floor under it as the heights do. One call of terrainColour and a
    // choice: a software renderer runs both sides of a branch.
    bool heights = view == HEIGHTS_VIEW;
    vec3 base = mix(terrainColour(height * STEPS_PER_UNIT, heights ? latitude : 0.0), iceColour, heights ? ice : 0.0);
    base = mix(base, viewColour, float(!heights && height >= 0.0));
    // Rivers freeze where the climate has ice, in every view.
    vec3 ground = river ? mix(riverColour, iceColour, ice) : base;
    vec3 colour = ground * light;
    // The thin atmosphere, seen edge-on near the limb.
    gl_FragColor = vec4(mix(colour, vec3(0.42, 0.62, 0.95) * (0.2 + sunlight), 0.55 * air), 1.0);
}
