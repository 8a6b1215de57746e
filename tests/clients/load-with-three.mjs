// Loads each .glb named on the command line with three.js's GLTFLoader, which
// decodes EXT_meshopt_compression with the MeshoptDecoder three ships; prints
// one line per file: "FILE: land V vertices T triangles[ in P parts], sea
// ..., rivers S segments" for each node in the order of the scene (a mesh of
// P primitives summed), and the land's bounding box as placed by its node,
// rounded to 1e-3. Exits 1 when a file does not load.
// NODE_PATH must lead to the node_modules that `npm ci` made from
// package.json (an ES module's imports do not search it, so they name it).
import fs from 'fs';
import path from 'path';
import { pathToFileURL } from 'url';

const modules = (process.env.NODE_PATH || '').split(path.delimiter)[0];
const from = (file) => import(pathToFileURL(path.join(modules, file)).href);
const { Box3 } = await from('three/build/three.module.js');
const { GLTFLoader } = await from('three/examples/jsm/loaders/GLTFLoader.js');
const { MeshoptDecoder } = await from('three/examples/jsm/libs/meshopt_decoder.module.js');

function load(file) {
    const bytes = fs.readFileSync(file);
    const buffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
    const loader = new GLTFLoader().setMeshoptDecoder(MeshoptDecoder);
    return new Promise((resolve, reject) => loader.parse(buffer, '', resolve, reject));
}

let failed = false;
for (const file of process.argv.slice(2)) {
    try {
        const gltf = await load(file);
        const parts = [];
        let box = null;
        // A node per mesh; a mesh of several primitives is a group of meshes.
        for (const node of gltf.scene.children) {
            let vertices = 0, triangles = 0, segments = 0, meshes = 0;
            node.traverse((o) => {
                if (o.isLineSegments)
                    segments += o.geometry.index.count / 2;
                else if (o.isMesh) {
                    vertices += o.geometry.attributes.position.count;
                    triangles += o.geometry.index.count / 3;
                    ++meshes;
                }
            });
            parts.push(segments ? `${node.name} ${segments} segments`
                                : `${node.name} ${vertices} vertices ${triangles} triangles` +
                                      (meshes > 1 ? ` in ${meshes} parts` : ''));
            if (node.name === 'land')
                box = new Box3().setFromObject(node);
        }
        const r = (v) => [v.x, v.y, v.z].map((c) => c.toFixed(3)).join(' ');
        console.log(`${file}: ${parts.join(', ')}; land from ${r(box.min)} to ${r(box.max)}`);
    } catch (e) {
        console.log(`${file}: ${e}`);
        failed = true;
    }
}
process.exit(failed ? 1 : 0);
