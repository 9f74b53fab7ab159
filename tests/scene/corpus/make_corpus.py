#!/usr/bin/env python3
"""Writes the hand-made scene files the reader tests and the fuzzer start from.

ok_*  files are well-formed and must load; bad_* files are malformed and must
be rejected. Run from this folder: python3 make_corpus.py
"""
import struct

def u32(v): return struct.pack('<I', v & 0xFFFFFFFF)
def i32(v): return struct.pack('<i', v)
def f32(*vs): return b''.join(struct.pack('<f', v) for v in vs)
def string(s): b = s.encode('latin-1') if isinstance(s, str) else s; return u32(len(b)) + b

def header(t, m, mo, c, n): return u32(t) + u32(m) + u32(mo) + u32(c) + u32(n)

def material(name, tex=(), flags=0): return string(name) + f32(1, 1, 1, 1) + u32(flags) + u32(len(tex)) + b''.join(u32(t) for t in tex)

POS_NORMAL_UV = [(3, 1, 0, 0), (3, 2, 12, 0), (2, 4, 24, 0)]  # stride 32

def model_prefix(name, vertex_count, subset_count, elements):
    out = string(name) + u32(vertex_count) + u32(subset_count) + f32(0, 0, 0) + f32(1, 1, 1)
    return out + u32(len(elements)) + b''.join(u32(c) + u32(u) + u32(o) + u32(i) for c, u, o, i in elements)

def model(name, vertices, subsets, elements=POS_NORMAL_UV, vertex_count=None):
    vc = len(vertices) if vertex_count is None else vertex_count
    out = model_prefix(name, vc, len(subsets), elements)
    for v in vertices: out += f32(*v)
    for material_index, indices in subsets:
        out += u32(len(indices) // 3) + u32(material_index) + b''.join(u32(i) for i in indices)
    return out

QUAD = [(x, y, 0, 0, 0, 1, x, y) for x, y in ((0, 0), (1, 0), (1, 1), (0, 1))]

def camera(name): return string(name) + u32(0)

def node(name, flags=0, parent=None, model=None, camera=None, keys=None, key_count=None):
    out = string(name) + f32(0, 0, 0) + f32(0, 0, 0, 1) + f32(1, 1, 1) + u32(flags)
    if flags & 0x01: out += u32(parent)
    if flags & 0x02: out += u32(model)
    if flags & 0x10: out += u32(camera)
    if flags & 0x40:
        keys = keys or []
        out += i32(len(keys) if key_count is None else key_count)
        for t, x in keys:
            out += f32(t) + f32(x, 0, 0) * 3 + f32(0, 0, 0, 1) * 3
    return out

def full_scene():
    return (header(2, 2, 1, 1, 3) + string('a.png') + string('b.png') +
            material('red', (1, 0)) + material('blend', (), 0x04) +
            model('quad', QUAD, [(0, [0, 1, 2]), (1, [0, 2, 3])]) +
            camera('cam') +
            node('child', 0x01 | 0x02, parent=2, model=0) +
            node('eye', 0x10 | 0x40, camera=0, keys=[(0, 0), (1, 5)]) +
            node('root'))

files = {
    'ok_empty.nc': header(0, 0, 0, 0, 0),
    'ok_full.nc': full_scene(),
    'bad_zero_bytes.nc': b'',
    'bad_short_header.nc': header(0, 0, 0, 0, 0)[:10],
    'bad_huge_texture_count.nc': header(0xFFFFFFFF, 0, 0, 0, 0) + string('x'),
    'bad_huge_node_count.nc': header(0, 0, 0, 0, 0x10000000) + node('n'),
    'bad_giant_string.nc': header(1, 0, 0, 0, 0) + u32(0xFFFFFFF0) + b'abc',
    'bad_texture_index.nc': header(1, 1, 0, 0, 0) + string('t') + material('m', (1,)),
    'bad_subset_material.nc': header(0, 1, 1, 0, 0) + material('m') + model('q', QUAD, [(1, [0, 1, 2])]),
    'bad_vertex_index.nc': header(0, 1, 1, 0, 0) + material('m') + model('q', QUAD, [(0, [0, 1, 4])]),
    'bad_huge_vertex_count.nc': header(0, 0, 1, 0, 0) + model('q', QUAD, [], vertex_count=0x7FFFFFFF),
    'ok_vertices_without_layout.nc': header(0, 0, 1, 0, 0) + model('q', [], [], elements=[], vertex_count=1000000),
    'ok_huge_components.nc': header(0, 0, 1, 0, 0) + model('q', [], [], elements=[(0x40000000, 4, 0, 0)]),
    'ok_element_outside_vertex.nc': header(0, 0, 1, 0, 0) + model('q', [], [], elements=[(3, 1, 4, 0)]),
    'bad_huge_element_count.nc': header(0, 0, 1, 0, 0) + model_prefix('q', 0, 0, [])[:-4] + u32(0x0FFFFFFF),
    'bad_huge_subset_count.nc': header(0, 0, 1, 0, 0) + model_prefix('q', 0, 0xFFFFFFFF, []),
    'bad_huge_triangle_count.nc': header(0, 1, 1, 0, 0) + material('m') + model_prefix('q', 4, 1, POS_NORMAL_UV) + b''.join(f32(*v) for v in QUAD) + u32(0x40000000) + u32(0),
    'bad_model_and_camera.nc': header(0, 0, 1, 1, 1) + model('q', QUAD, []) + camera('c') + node('n', 0x02 | 0x10, model=0, camera=0),
    'bad_negative_key_count.nc': header(0, 0, 0, 0, 1) + node('n', 0x40, key_count=-1),
    'bad_huge_key_count.nc': header(0, 0, 0, 0, 1) + node('n', 0x40, key_count=0x7FFFFFFF),
    'bad_parent_index.nc': header(0, 0, 0, 0, 2) + node('a', 0x01, parent=2) + node('b'),
    'bad_model_index.nc': header(0, 0, 0, 0, 1) + node('a', 0x02, model=0),
    'bad_camera_index.nc': header(0, 0, 0, 1, 1) + camera('c') + node('a', 0x10, camera=1),
    'bad_truncated_key.nc': (header(0, 0, 0, 0, 1) + node('n', 0x40, keys=[(0, 0), (1, 1)]))[:-30],
    'bad_truncated_vertices.nc': (header(0, 0, 1, 0, 0) + model('q', QUAD, []))[:-5],
    'bad_truncated_full.nc': full_scene()[:-1],
}

for name, data in files.items():
    with open(name, 'wb') as f:
        f.write(data)
