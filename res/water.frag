#version 120
// The sea, lit by the sun: blue by depth, turquoise over the shelves, nearly
// opaque except on the shallowest shelves, with a sharp glint of the sun
// worked out per fragment from the view, and the air's haze at grazing
// views. Alpha stays well above the 0.1 alpha test.
//
// With airRadius set: the glow of the air outside the sea's limb, drawn on
// a ring around it and added to what is behind; brightest at the limb, in
// daylight, reddened at dusk.

uniform float seaRadius;
uniform float airRadius;
uniform int view; // what the land is coloured by: ClimateView's number

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 sunlight;
varying float depth;
varying vec3 centre;
varying float frozen;

// @iceColour

const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4)); // as in res/water.vert
const vec3 SKY = vec3(0.42, 0.62, 0.95);          // the air's colour in full daylight
const vec3 STARLIGHT = vec3(0.05, 0.06, 0.09);

// x^16 by squaring: four multiplies where pow costs a logarithm and an
// exponential.
float power16(float x)
{
    x *= x;
    x *= x;
    x *= x;
    return x * x;
}

vec4 sea()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    float diffuse = max(dot(normal, SUN), 0.0);
    // Shelves up to about 60 steps deep lighten towards the shore.
    float shelf = 1.0 - smoothstep(0.0, 60.0, depth);
    vec3 water = mix(vec3(0.04, 0.19, 0.46), vec3(0.10, 0.44, 0.56), shelf * shelf);
    vec3 colour = water * (STARLIGHT + sunlight * (0.3 + 0.75 * diffuse));

    // The sun's glint: a sharp core and a soft sheen about it, on the day side.
    float mirror = max(dot(normal, normalize(SUN + toEye)), 0.0);
    float sheen = power16(mirror * mirror * mirror * mirror); // x^64: tens of pixels wide
    float core = power16(sheen);                              // x^1024: a few pixels
    float glint = (0.9 * core + 0.18 * sheen) * step(0.0, dot(normal, SUN));
    // Grazing views see more sky and less of the water below.
    float grazing = 1.0 - max(dot(normal, toEye), 0.0);
    float fresnel = grazing * grazing * grazing;
    colour += vec3(1.0, 0.96, 0.86) * glint * sunlight;
    colour = mix(colour, SKY * (0.2 + sunlight), 0.55 * fresnel);
    float alpha = clamp(mix(0.6, 0.94, smoothstep(2.0, 30.0, depth)) + fresnel + glint, 0.0, 1.0);
    // The climate's sea ice, in the heights' ice colour in the heights view
    // and in its class's in the others: lit as the land is, and opaque.
    vec3 tint = view == HEIGHTS_VIEW ? iceColour : seaIceColour;
    colour = mix(colour, tint * (STARLIGHT + sunlight * (0.2 + 0.85 * diffuse)), frozen);
    return vec4(colour, mix(alpha, 1.0, frozen));
}

vec4 air()
{
    // Where the view through this fragment passes the centre most closely,
    // and how far inside the shell that is: 0 at its edge, 1 at the sea.
    vec3 ray = normalize(eyePosition);
    vec3 nearest = ray * dot(centre, ray) - centre;
    float passing = length(nearest);
    // Over the sea's disc the land and sea draw their own haze.
    float inside = clamp((airRadius - passing) / (airRadius - seaRadius), 0.0, 1.0) * step(seaRadius, passing);
    float sunHeight = dot(normalize(nearest), SUN);
    vec3 light = smoothstep(-0.3, 0.25, sunHeight) *
                 mix(vec3(1.0, 0.55, 0.35), vec3(1.0), smoothstep(-0.05, 0.4, sunHeight));
    return vec4(SKY * light * (inside * inside), 1.0);
}

void main()
{
    // A branch on a uniform: the renderer runs only the side it takes.
    if (airRadius > 0.0)
        gl_FragColor = air();
    else
        gl_FragColor = sea();
}
