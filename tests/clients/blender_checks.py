# What Blender's own importers make of the program's meshes. Run as
#   blender -b --factory-startup --python-exit-code 1 --python blender_checks.py -- MODE ARGS
# glb FILE SUBDIVISIONS ...: each FILE imports as two meshes, "land" and "sea",
#   with 10 x 4^n + 2 vertices each (the sea's n at most 5); the land is closed (every edge has two
#   faces) and every face of it looks outward.
# obj FILE SUBDIVISIONS ...: each FILE imports as two objects, "land" and
#   "sea", with 10 x 4^n + 2 vertices each (the sea's n at most 5), both
#   closed and every face of each looking outward.
# ply FILE EXPECTED: FILE imports with a byte colour attribute; each line
#   "x y z r g b" of EXPECTED names a vertex by its position and the colour
#   bytes (sRGB) it must have.
# Prints one line per check; a failed check raises, and Blender exits with 1.
import sys

import numpy
numpy.bool = bool  # Blender 3.4's glTF add-on still uses the alias newer numpy dropped
import bmesh
import bpy
from mathutils import kdtree


def fresh_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def closed_and_outward(obj):
    mesh = bmesh.new()
    mesh.from_mesh(obj.data)
    mesh.transform(obj.matrix_world)
    mesh.normal_update()  # transform moves the vertices only; an importer's turn (OBJ's -Z forward) turns the faces
    open_edges = sum(1 for e in mesh.edges if len(e.link_faces) != 2)
    inward = sum(1 for f in mesh.faces if f.normal.dot(f.calc_center_median()) <= 0)
    mesh.free()
    return open_edges, inward


def check_glb(path, subdivisions):
    fresh_scene()
    bpy.ops.import_scene.gltf(filepath=path)
    meshes = {o.name: o for o in bpy.data.objects if o.type == 'MESH'}
    assert sorted(meshes) == ['land', 'sea'], f"{path}: meshes {sorted(meshes)}"
    expected = 10 * 4 ** subdivisions + 2
    for name, obj in meshes.items():
        count = expected if name == 'land' else 10 * 4 ** min(subdivisions, 5) + 2
        assert len(obj.data.vertices) == count, f"{path}: {name} has {len(obj.data.vertices)} vertices"
    open_edges, inward = closed_and_outward(meshes['land'])
    assert open_edges == 0 and inward == 0, f"{path}: {open_edges} open edges, {inward} inward faces"
    print(f"glb {path}: land and sea, {expected} vertices each, land closed and outward")


def check_obj(path, subdivisions):
    fresh_scene()
    bpy.ops.wm.obj_import(filepath=path)
    meshes = {o.name: o for o in bpy.data.objects if o.type == 'MESH'}
    assert sorted(meshes) == ['land', 'sea'], f"{path}: objects {sorted(meshes)}"
    counts = {'land': 10 * 4 ** subdivisions + 2, 'sea': 10 * 4 ** min(subdivisions, 5) + 2}
    for name, obj in meshes.items():
        assert len(obj.data.vertices) == counts[name], f"{path}: {name} has {len(obj.data.vertices)} vertices"
        open_edges, inward = closed_and_outward(obj)
        assert open_edges == 0 and inward == 0, f"{path}: {name}: {open_edges} open edges, {inward} inward faces"
    print(f"obj {path}: land {counts['land']} and sea {counts['sea']} vertices, both closed and outward")


def check_ply(path, expected_path):
    fresh_scene()
    bpy.ops.import_mesh.ply(filepath=path)
    obj = bpy.context.selected_objects[0]
    colours = obj.data.color_attributes
    assert len(colours) == 1 and colours[0].data_type == 'BYTE_COLOR', f"{path}: colours {list(colours)}"
    tree = kdtree.KDTree(len(obj.data.vertices))
    for v in obj.data.vertices:
        tree.insert(v.co, v.index)
    tree.balance()
    corner_of = {loop.vertex_index: loop.index for loop in obj.data.loops}
    for line in open(expected_path):
        x, y, z, *rgb = line.split()
        _, vertex, distance = tree.find((float(x), float(y), float(z)))
        assert distance < 1e-6, f"{path}: no vertex at {x} {y} {z}"
        data = colours[0].data[corner_of[vertex]] if colours[0].domain == 'CORNER' else colours[0].data[vertex]
        got = [round(c * 255) for c in data.color_srgb[:3]]
        assert got == [int(c) for c in rgb], f"{path}: vertex at {x} {y} {z} is {got}, not {rgb}"
        print(f"ply {path}: vertex at {x} {y} {z} has colour {got}")


args = sys.argv[sys.argv.index('--') + 1:]
if args[0] == 'glb':
    for k in range(1, len(args), 2):
        check_glb(args[k], int(args[k + 1]))
elif args[0] == 'obj':
    for k in range(1, len(args), 2):
        check_obj(args[k], int(args[k + 1]))
elif args[0] == 'ply':
    check_ply(args[1], args[2])
else:
    raise SystemExit(f"unknown mode {args[0]}")
