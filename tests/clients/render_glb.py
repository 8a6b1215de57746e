# Renders a .glb the program exported as Blender's glTF importer reads it,
# with Cycles on the CPU (no GPU needed):
#   blender -b --factory-startup --python render_glb.py -- PLANET.glb OUT.png [TURN]
# The camera looks at the planet from 4.4 radii, the sun from the upper left;
# TURN, in degrees, turns the planet about its axis first (east to the front).
import math
import sys

import numpy
numpy.bool = bool  # Blender 3.4's glTF add-on still uses the alias newer numpy dropped
import bpy

args = sys.argv[sys.argv.index('--') + 1:]
source, target = args[:2]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=source)
scene = bpy.context.scene
for obj in scene.objects:
    obj.rotation_mode = 'XYZ'
    obj.rotation_euler = (0.0, 0.0, -math.radians(float(args[2]) if len(args) > 2 else 0.0))

camera = bpy.data.objects.new('camera', bpy.data.cameras.new('camera'))
camera.location = (0.0, -4.3, 1.07)
camera.rotation_euler = (math.radians(76), 0.0, 0.0)
camera.data.lens = 50
scene.collection.objects.link(camera)
scene.camera = camera

sun = bpy.data.objects.new('sun', bpy.data.lights.new('sun', 'SUN'))
sun.data.energy = 4.0
sun.rotation_euler = (math.radians(50), math.radians(-40), 0.0)
scene.collection.objects.link(sun)
scene.world = bpy.data.worlds.new('space')
scene.world.color = (0.0, 0.0, 0.0)

scene.render.engine = 'CYCLES'
scene.cycles.device = 'CPU'
scene.cycles.samples = 32
scene.cycles.use_denoising = False
scene.render.resolution_x = 640
scene.render.resolution_y = 480
scene.render.filepath = target
bpy.ops.render.render(write_still=True)
