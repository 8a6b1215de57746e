#version 120
// Land colour by height, lit by light 0. No normals are sent: the facet
// normal comes from the screen-space derivatives of the eye position.

varying vec3 eyePosition;
varying vec3 radial;
varying float height;

const float STEPS_PER_UNIT = 1500.0;

// Bands in steps above the sea. 5000 iterations leave most of the land
// within about 150 steps of it, the highest peaks near 250.

// @terrainColour

void main()
{
    vec3 up = normalize(radial);
    vec3 normal = normalize(cross(dFdx(eyePosition), dFdy(eyePosition)));
    if (dot(normal, up) < 0.0)
        normal = -normal;

    // Light 0 is the sun: directional (w = 0), the same for every point.
    vec3 toLight = normalize(gl_LightSource[0].position.xyz);
    float diffuse = max(dot(normal, toLight), 0.0);
    // A little light on the night side keeps the continents readable.
    float ambient = 0.12 + 0.08 * max(dot(up, toLight) + 0.3, 0.0);

    vec3 colour = terrainColour(height * STEPS_PER_UNIT);
    gl_FragColor = vec4(colour * (ambient + 0.95 * diffuse), 1.0);
}
