// Validates each .glb named on the command line with the Khronos glTF
// validator; prints one line per file ("FILE: E errors, W warnings") and the
// messages of every error and warning, then each piece of information as
// "  info CODE POINTER: MESSAGE". Exits 1 when any file has an error or a
// warning.
// NODE_PATH must lead to the node_modules that `npm ci` made from package.json.
const fs = require('fs');
const validator = require('gltf-validator');

async function validate(path) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(path)));
    const { numErrors, numWarnings, messages } = report.issues;
    console.log(`${path}: ${numErrors} errors, ${numWarnings} warnings`);
    for (const m of messages.filter((m) => m.severity <= 1))
        console.log(`  ${m.code} ${m.pointer || ''}: ${m.message}`);
    for (const m of messages.filter((m) => m.severity === 2))
        console.log(`  info ${m.code} ${m.pointer || ''}: ${m.message}`);
    return numErrors + numWarnings === 0;
}

(async () => {
    let clean = true;
    for (const path of process.argv.slice(2))
        clean = (await validate(path)) && clean;
    process.exit(clean ? 0 : 1);
})().catch((e) => {
    console.log(String(e));
    process.exit(1);
});
