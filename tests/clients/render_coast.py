# Renders a textured .glb the program exported as Blender's glTF importer
# reads it, the sea mesh hidden, from straight over its +Z axis (the window's
# longitude -90 degrees) with an orthographic camera, and compares land and
# sea in the render with the colour map at the same points:
#   blender -b --factory-startup --python render_coast.py -- PLANET.glb MAP.png OUT.png
# Prints "coast: A of B points agree, L land, S sea" (B: points well inside
# the disc, away from the poles' ice).
import math
import sys

import numpy
numpy.bool = bool  # Blender 3.4's glTF add-on still uses the alias newer numpy dropped
import bpy

SIZE = 200       # pixels a side of the render
SCALE = 2.2      # sea radii the render spans
source, map_path, target = sys.argv[sys.argv.index('--') + 1:][:3]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=source)
for obj in list(bpy.data.objects):
    if obj.name.startswith('sea') or obj.name.startswith('rivers'):
        bpy.data.objects.remove(obj)
scene = bpy.context.scene

# glTF +Z is Blender's -Y, glTF +Y (north) Blender's +Z.
camera = bpy.data.objects.new('camera', bpy.data.cameras.new('camera'))
camera.location = (0.0, -5.0, 0.0)
camera.rotation_euler = (math.radians(90), 0.0, 0.0)
camera.data.type = 'ORTHO'
camera.data.ortho_scale = SCALE
scene.collection.objects.link(camera)
scene.camera = camera
sun = bpy.data.objects.new('sun', bpy.data.lights.new('sun', 'SUN'))
sun.data.energy = 3.0
sun.rotation_euler = (math.radians(90), 0.0, 0.0)  # from behind the camera
scene.collection.objects.link(sun)
scene.world = bpy.data.worlds.new('space')
scene.world.color = (0.0, 0.0, 0.0)
scene.render.engine = 'CYCLES'
scene.cycles.device = 'CPU'
scene.cycles.samples = 4
scene.cycles.use_denoising = False
scene.view_settings.view_transform = 'Standard'
scene.render.resolution_x = scene.render.resolution_y = SIZE
scene.render.filepath = target
bpy.ops.render.render(write_still=True)


def pixels(path):
    image = bpy.data.images.load(path)
    width, height = image.size
    return width, height, list(image.pixels)


def is_sea(rgba, index):
    r, g, b = rgba[4 * index], rgba[4 * index + 1], rgba[4 * index + 2]
    return b > r and b > g


rw, rh, render = pixels(target)
mw, mh, colour_map = pixels(map_path)
agree = total = land = 0
for py in range(0, SIZE, 4):
    for px in range(0, SIZE, 4):
        x = ((px + 0.5) / SIZE - 0.5) * SCALE
        y = (0.5 - (py + 0.5) / SIZE) * SCALE
        if x * x + y * y > 0.8 ** 2 or abs(y) > math.sin(math.radians(50)):
            continue
        z = math.sqrt(1.0 - x * x - y * y)
        longitude = math.atan2(-z, x)
        latitude = math.asin(y)
        i = min(int((longitude + math.pi) / (2 * math.pi) * mw), mw - 1)
        j = min(int((math.pi / 2 - latitude) / math.pi * mh), mh - 1)
        expected = is_sea(colour_map, (mh - 1 - j) * mw + i)  # Blender's rows run from the bottom
        seen = is_sea(render, (rh - 1 - py) * rw + px)
        total += 1
        agree += expected == seen
        land += not expected
print(f'coast: {agree} of {total} points agree, {land} land, {total - land} sea')
