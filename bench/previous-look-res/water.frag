#version 120
// Translucent sea lit by the sun, with a specular glint of the sun and the
// atmosphere's rim. Alpha stays well above the 0.1 alpha test; it is low
// where the sea is seen from above, so the floor's colour (light on the
// shelves, dark in the deep) shows through.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec3 sunlight;

// The sun, in eye space: far away up and to the left of the camera, from
// world direction (2.4, 1.5, 2.0) as the camera on the +x axis sees it. It
// stays with the camera whatever the distance and the user's turn.
const vec3 SUN = normalize(vec3(-2.0, 1.5, 2.4));

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec3 toLight = SUN;

    float diffuse = max(dot(normal, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    // The glint's x^220 by squaring (x^128 x^64 x^16 x^8 x^4): a handful of
    // multiplies where pow costs a logarithm and an exponential.
    float x = max(dot(normal, halfway), 0.0);
    float x2 = x * x;
    float x4 = x2 * x2;
    float x8 = x4 * x4;
    float x16 = x8 * x8;
    float x32 = x16 * x16;
    float x64 = x32 * x32;
    float glint = x64 * x64 * x64 * x16 * x8 * x4 * step(0.0, dot(normal, toLight));
    // Grazing views see more reflection and less of the floor.
    float grazing = 1.0 - max(dot(normal, toEye), 0.0);
    float fresnel = grazing * grazing * grazing;

    vec3 deep = vec3(0.02, 0.12, 0.30);
    vec3 colour = deep * (vec3(0.05, 0.06, 0.09) + sunlight * (0.14 + 0.8 * diffuse)) +
                  vec3(0.35, 0.55, 0.75) * fresnel * diffuse;
    colour += vec3(1.0, 0.97, 0.9) * glint * 0.75;
    // The atmosphere's rim: a thin blue haze seen edge-on, as on the land.
    vec3 air = vec3(0.42, 0.62, 0.95) * (0.2 + sunlight);
    colour = mix(colour, air, 0.55 * fresnel);
    float alpha = clamp(0.42 + 0.5 * fresnel + glint, 0.0, 0.97);
    gl_FragColor = vec4(colour, alpha);
}
