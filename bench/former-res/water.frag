#version 120
// Translucent sea lit by light 0, with a specular glint of the sun. Alpha
// stays well above the 0.1 alpha test so the shallow floor shows through.

varying vec3 eyePosition;
varying vec3 eyeNormal;

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec4 lightPosition = gl_LightSource[0].position;
    vec3 toLight = normalize(lightPosition.w == 0.0 ? lightPosition.xyz
                                                    : lightPosition.xyz - eyePosition);

    float diffuse = max(dot(normal, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    float glint = pow(max(dot(normal, halfway), 0.0), 220.0) * step(0.0, dot(normal, toLight));
    // Grazing views see more reflection and less of the floor.
    float fresnel = pow(1.0 - max(dot(normal, toEye), 0.0), 3.0);

    vec3 deep = vec3(0.02, 0.16, 0.38);
    vec3 colour = deep * (0.18 + 0.9 * diffuse) + vec3(0.35, 0.55, 0.75) * fresnel * diffuse;
    colour += vec3(1.0, 0.97, 0.9) * glint * 0.75;
    float alpha = clamp(0.62 + 0.3 * fresnel + glint, 0.0, 0.97);
    gl_FragColor = vec4(colour, alpha);
}
