#!/usr/bin/env python3
"""Reference values of the St Venant torsion constant J, the warping constant Iw and the shear
centre of a few cross-sections, computed by quadratic (6-node triangle) finite elements on a mesh
of the exact shape. Our own solver is measured against these numbers, so they are computed with
nothing clever: a conforming isoparametric P2 mesh from gmsh, a quadrature that integrates every
integrand exactly on straight-sided elements, a sparse direct solve, and Richardson extrapolation
over the finest three mesh sizes.

Development only: needs the Debian packages python3-gmsh, python3-scipy and python3-numpy
(`tools/install_deps.sh --reference` installs them). Neither building nor testing the tool needs
them. Run with the system interpreter:

    /usr/bin/python3 tools/p2_reference.py [--shape ipe300|composite|disc|rectangle|all]
                                           [--json OUT] [--sizes 30,20,10] [--repeat 5]

Shapes, in mm, y to the right and z up:
  ipe300     rolled I, h 300, b 150, web 7.1, flanges 10.7, root fillets r 15 (exact circle arcs
             tangent to web and flange); steel E 210000 N/mm^2, nu 0.3. Origin at its centroid.
  composite  a concrete slab 1000 x 150 (E 33000) centred on the top face of that I (steel
             E 210000), one mesh conforming at the interface. Both materials take nu = 0.3, so
             G = E / 2.6 in each and the shear moduli scale as the Young's moduli. Origin at the
             I's centroid.
             The flange's top corners are re-entrant corners of the whole (w ~ r^0.54 there),
             so its meshes are graded towards them: size h (d / 50 mm)^0.7 within 50 mm of
             them, h elsewhere. Uniform meshes converge in J at order 2 x 0.54 only.
  disc       radius 50, steel; exact J = pi r^4 / 2, Iw = 0.
  rectangle  100 (along y) x 50 (along z), steel; exact J from the series
             J = b t^3/3 (1 - 192/pi^5 t/b sum_{n odd} tanh(n pi b / 2t) / n^5).

What is solved. The warping function w(y, z) (axial displacement per unit twist) is referred to
a pole P = (y0, z0), here the E-weighted centroid. With t = (z - z0, -(y - y0)) the shear strains
per unit twist are grad w - t, and w solves the Neumann problem
    integral G (grad w - t) . grad v dA = 0   for all v,
with G taken per material and w continuous across material interfaces. The constant in w is fixed
by pinning one node, and the E-weighted mean is removed afterwards. Then
    GJ  = integral G |grad w - t|^2 dA           (N mm^2; J = GJ / G_steel, "relative to steel")
The shear centre S follows Trefftz: the E-weighted least-squares fit w ~ a y' + b z' + c, with
y', z' measured from the E-weighted centroid, gives zS = z0 + a and yS = y0 - b; the warping
function about S, normalised, is omega = w - (a y' + b z' + c), and
    EIw = integral E omega^2 dA                  (N mm^4; Iw = EIw / E_steel, relative to steel)
Sign conventions: the twist is positive counter-clockwise seen with y to the right and z up
(right-handed about the beam axis x), and w is positive along x. J, Iw and the shear centre do
not depend on these choices.

Quadrature: gmsh's 12-point degree 6 rule on every element. On straight-sided elements the
stiffness, the load and the energy are degree 2, the moments of w degree 3 and omega^2 degree 4,
so all are exact; on the curved elements along circle arcs the isoparametric map is exact for
the polar moment (degree 6) and close for the rest.

Meshes: gmsh's built-in kernel, points and lines shared between regions, one physical group per
material; the mesh size h is the characteristic length at every geometry point and the largest
element size (gmsh's default 2D algorithm), then setOrder(2) puts the midside nodes of boundary
edges on the arcs. Sizes default to 30, 20, 10, 5, 2.5, 1.25 mm for the I and the composite and
20 ... 1.25 mm for the disc and the rectangle. The converged value assumes v = v0 + C h^p over
the finest three sizes and solves for p, which is printed: near 4 where the solution is smooth.

--json OUT writes, per shape, the rows (shape, mesh_size_mm, nodes, elements, area_mm2,
centroid_y_mm, centroid_z_mm (E-weighted), gj_n_mm2, j_mm4, eiw_n_mm4, iw_mm6,
shear_centre_y_mm, shear_centre_z_mm, mesh_s, solve_s, total_s), the converged values under the
same keys (with the observed order as KEY_order, null where the values did not converge
monotonically and the finest was taken) and the exact or published values the shape is checked
against.

Timing: wall time by time.perf_counter(), each the median of --repeat runs: "mesh" is gmsh's
generate(2) plus setOrder(2) (the geometry is built once, outside the timing); "solve" is reading
the mesh from gmsh, assembly, the sparse LU solve (SuperLU via scipy) and the integrals after it.
Everything runs on one thread: gmsh with General.NumThreads 1 and the BLAS / OpenMP pools set to
one thread before numpy is imported.
"""

import os

for _var in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[_var] = "1"

import argparse  # noqa: E402
import json  # noqa: E402
import math  # noqa: E402
import statistics  # noqa: E402
import sys  # noqa: E402
import time  # noqa: E402

import gmsh  # noqa: E402
import numpy as np  # noqa: E402
import scipy.optimize  # noqa: E402
import scipy.sparse  # noqa: E402
import scipy.sparse.linalg  # noqa: E402

NU = 0.3
E_STEEL = 210000.0
E_CONCRETE = 33000.0
G_STEEL = E_STEEL / (2 * (1 + NU))

# IPE 300
H, B, TW, TF, R = 300.0, 150.0, 7.1, 10.7, 15.0
# Slab on top of it
SLAB_B, SLAB_T = 1000.0, 150.0
# Mesh grading towards the composite's re-entrant corners: reach (mm) and power
GRADING_REACH, GRADING_POWER = 50.0, 0.7
DISC_R = 50.0
RECT_B, RECT_T = 100.0, 50.0

DEFAULT_SIZES = {
    "ipe300": [30, 20, 10, 5, 2.5, 1.25],
    "composite": [30, 20, 10, 5, 2.5, 1.25],
    "disc": [20, 10, 5, 2.5, 1.25],
    "rectangle": [20, 10, 5, 2.5, 1.25],
}

TRIANGLE6 = 9  # gmsh's element type number of the 6-node triangle


def rectangle_exact_j(b, t, terms=200):
    s = sum(math.tanh(n * math.pi * b / (2 * t)) / n**5 for n in range(1, 2 * terms, 2))
    return b * t**3 / 3 * (1 - 192 / math.pi**5 * t / b * s)


EXACT = {
    "disc": {"j_mm4": math.pi * DISC_R**4 / 2, "iw_mm6": 0.0},
    "rectangle": {"j_mm4": rectangle_exact_j(RECT_B, RECT_T)},
}

PUBLISHED = {
    "ipe300": {"j_mm4": 197530.0, "iw_mm6": 2.60939e16 / E_STEEL, "area_mm2":
               2 * B * TF + (H - 2 * TF) * TW + (4 - math.pi) * R**2},
}


class Outline:
    """Built-in kernel geometry whose points and lines are shared by coordinates, so that two
    regions drawn with a common edge mesh conformingly along it."""

    def __init__(self, size):
        self.size = size
        self.points = {}
        self.lines = {}

    def point(self, y, z):
        key = (round(y, 9), round(z, 9))
        if key not in self.points:
            self.points[key] = gmsh.model.geo.addPoint(y, z, 0, self.size)
        return self.points[key]

    def line(self, a, b):
        if (b, a) in self.lines:
            return -self.lines[(b, a)]
        if (a, b) not in self.lines:
            self.lines[(a, b)] = gmsh.model.geo.addLine(a, b)
        return self.lines[(a, b)]

    def arc(self, a, centre, b):
        if (b, a) in self.lines:
            return -self.lines[(b, a)]
        if (a, b) not in self.lines:
            self.lines[(a, b)] = gmsh.model.geo.addCircleArc(a, centre, b)
        return self.lines[(a, b)]

    def surface(self, path):
        """path: list of ("p", y, z) corners and ("arc", yc, zc) centres; an arc runs from the
        corner before its centre to the corner after it. The path closes on itself."""
        corners = []
        for item in path:
            if item[0] == "p":
                corners.append(("p", self.point(item[1], item[2])))
            else:
                corners.append(("c", gmsh.model.geo.addPoint(item[1], item[2], 0, self.size)))
        curves = []
        i = 0
        n = len(corners)
        while i < n:
            a = corners[i][1]
            nxt = corners[(i + 1) % n]
            if nxt[0] == "c":
                b = corners[(i + 2) % n][1]
                curves.append(self.arc(a, nxt[1], b))
                i += 2
            else:
                curves.append(self.line(a, nxt[1]))
                i += 1
        loop = gmsh.model.geo.addCurveLoop(curves)
        return gmsh.model.geo.addPlaneSurface([loop])


def ipe_path():
    yb, zb = B / 2, H / 2
    yw = TW / 2
    zi = H / 2 - TF
    return [
        ("p", -yb, -zb), ("p", yb, -zb), ("p", yb, -zi), ("p", yw + R, -zi),
        ("arc", yw + R, -zi + R), ("p", yw, -zi + R),
        ("p", yw, zi - R), ("arc", yw + R, zi - R), ("p", yw + R, zi),
        ("p", yb, zi), ("p", yb, zb), ("p", -yb, zb), ("p", -yb, zi), ("p", -yw - R, zi),
        ("arc", -yw - R, zi - R), ("p", -yw, zi - R),
        ("p", -yw, -zi + R), ("arc", -yw - R, -zi + R), ("p", -yw - R, -zi),
        ("p", -yb, -zi),
    ]


def slab_path():
    z0, z1 = H / 2, H / 2 + SLAB_T
    return [("p", -SLAB_B / 2, z0), ("p", -B / 2, z0), ("p", B / 2, z0), ("p", SLAB_B / 2, z0),
            ("p", SLAB_B / 2, z1), ("p", -SLAB_B / 2, z1)]


def build_geometry(shape, size):
    """Builds the shape in a fresh gmsh model; returns [(E, physical group tag)]."""
    gmsh.model.add(shape)
    outline = Outline(size)
    regions = []  # (name, E, [surfaces])
    if shape in ("ipe300", "composite"):
        regions.append(("steel", E_STEEL, [outline.surface(ipe_path())]))
        if shape == "composite":
            regions.append(("concrete", E_CONCRETE, [outline.surface(slab_path())]))
    elif shape == "disc":
        c = gmsh.model.geo.addPoint(0, 0, 0, size)
        p = [gmsh.model.geo.addPoint(DISC_R * math.cos(k * math.pi / 2),
                                     DISC_R * math.sin(k * math.pi / 2), 0, size)
             for k in range(4)]
        arcs = [gmsh.model.geo.addCircleArc(p[k], c, p[(k + 1) % 4]) for k in range(4)]
        loop = gmsh.model.geo.addCurveLoop(arcs)
        regions.append(("steel", E_STEEL, [gmsh.model.geo.addPlaneSurface([loop])]))
    elif shape == "rectangle":
        yb, zb = RECT_B / 2, RECT_T / 2
        path = [("p", -yb, -zb), ("p", yb, -zb), ("p", yb, zb), ("p", -yb, zb)]
        regions.append(("steel", E_STEEL, [outline.surface(path)]))
    else:
        raise ValueError(f"unknown shape {shape}")
    gmsh.model.geo.synchronize()
    materials = []
    for name, e, surfaces in regions:
        tag = gmsh.model.addPhysicalGroup(2, surfaces)
        gmsh.model.setPhysicalName(2, tag, name)
        materials.append((e, tag))
    gmsh.option.setNumber("Mesh.MeshSizeMax", size)
    gmsh.option.setNumber("Mesh.MeshSizeFromCurvature", 0)
    gmsh.option.setNumber("Mesh.MeshSizeExtendFromBoundary", 1)
    if shape == "composite":
        grade_towards([outline.point(-B / 2, H / 2), outline.point(B / 2, H / 2)], size)
    gmsh.option.setNumber("Mesh.ElementOrder", 1)
    return materials


def grade_towards(points, size):
    """The flange's top corners are re-entrant corners of the composite (slab above, steel
    below and to one side), where w ~ r^0.54. A uniform mesh converges there at order ~1.1 in J;
    sizes size * (d / L)^0.7 within L of them (d the distance) restore the order of smooth
    solutions, and away from them the mesh keeps the uniform size."""
    reach, power = GRADING_REACH, GRADING_POWER
    # the innermost element's size, where d equals it
    floor = reach * (size / reach) ** (1 / (1 - power))
    distance = gmsh.model.mesh.field.add("Distance")
    gmsh.model.mesh.field.setNumbers(distance, "PointsList", points)
    graded = gmsh.model.mesh.field.add("MathEval")
    gmsh.model.mesh.field.setString(
        graded, "F", f"{size!r} * ((F{distance} + {floor!r}) / {reach!r})^{power!r}")
    gmsh.model.mesh.field.setAsBackgroundMesh(graded)
    gmsh.option.setNumber("Mesh.MeshSizeExtendFromBoundary", 0)


def mesh_once():
    gmsh.model.mesh.clear()
    start = time.perf_counter()
    gmsh.model.mesh.generate(2)
    gmsh.model.mesh.setOrder(2)
    return time.perf_counter() - start


def shape_functions(xi, eta):
    """P2 values (nq, 6) and reference gradients (nq, 6, 2) in gmsh's node order: the
    corners, then the midpoints of edges 0-1, 1-2, 2-0."""
    l1, l2, l3 = 1 - xi - eta, xi, eta
    n = np.stack([l1 * (2 * l1 - 1), l2 * (2 * l2 - 1), l3 * (2 * l3 - 1),
                  4 * l1 * l2, 4 * l2 * l3, 4 * l3 * l1], axis=1)
    d1 = np.array([-1.0, -1.0])
    d2 = np.array([1.0, 0.0])
    d3 = np.array([0.0, 1.0])
    col = lambda a: a[:, None]  # noqa: E731
    dn = np.stack([
        col(4 * l1 - 1) * d1, col(4 * l2 - 1) * d2, col(4 * l3 - 1) * d3,
        4 * (col(l2) * d1 + col(l1) * d2), 4 * (col(l3) * d2 + col(l2) * d3),
        4 * (col(l1) * d3 + col(l3) * d1)], axis=1)
    return n, dn


def read_mesh(materials):
    """Node coordinates (n, 2) of the nodes the triangles use, connectivity (ne, 6) into
    them, and E per element."""
    tags, coords, _ = gmsh.model.mesh.getNodes()
    coords = coords.reshape(-1, 3)[:, :2]
    conn, moduli = [], []
    for e, group in materials:
        for surface in gmsh.model.getEntitiesForPhysicalGroup(2, group):
            types, _, nodes = gmsh.model.mesh.getElements(2, surface)
            for etype, enodes in zip(types, nodes):
                if etype != TRIANGLE6:
                    raise RuntimeError(f"unexpected element type {etype}")
                block = enodes.reshape(-1, 6)
                conn.append(block)
                moduli.append(np.full(len(block), e))
    conn = np.concatenate(conn)
    used, inverse = np.unique(conn, return_inverse=True)
    position = {t: i for i, t in enumerate(tags)}
    index = np.array([position[t] for t in used])
    return coords[index], inverse.reshape(conn.shape), np.concatenate(moduli)


def solve(materials, rule):
    xy, conn, moduli = read_mesh(materials)
    (xi, eta), weights = rule
    n_ref, dn_ref = shape_functions(xi, eta)
    x = xy[conn]  # (ne, 6, 2)
    jac = np.einsum("eai,qaj->eqij", x, dn_ref, optimize=True)  # d(y, z) / d(xi, eta)
    det = jac[..., 0, 0] * jac[..., 1, 1] - jac[..., 0, 1] * jac[..., 1, 0]
    if np.any(det <= 0):
        raise RuntimeError("mesh has inverted elements")
    inv = np.empty_like(jac)
    inv[..., 0, 0] = jac[..., 1, 1] / det
    inv[..., 1, 1] = jac[..., 0, 0] / det
    inv[..., 0, 1] = -jac[..., 0, 1] / det
    inv[..., 1, 0] = -jac[..., 1, 0] / det
    # physical gradients (ne, nq, 6, 2)
    grad = np.einsum("eqji,qaj->eqai", inv, dn_ref, optimize=True)
    da = det * weights[None, :]
    pts = np.einsum("qa,eai->eqi", n_ref, x, optimize=True)
    y, z = pts[..., 0], pts[..., 1]
    e_da = moduli[:, None] * da
    g_da = e_da / (2 * (1 + NU))

    area = da.sum()
    ea = e_da.sum()
    yc = (e_da * y).sum() / ea
    zc = (e_da * z).sum() / ea
    y0, z0 = yc, zc  # the pole; any point gives the same J, shear centre and Iw

    t = np.stack([z - z0, -(y - y0)], axis=-1)
    # element matrices as one batched product over (quadrature point, direction)
    flat = grad.transpose(0, 2, 1, 3).reshape(len(conn), 6, -1)
    weighted = (grad * g_da[:, :, None, None]).transpose(0, 2, 1, 3).reshape(len(conn), 6, -1)
    ke = flat @ weighted.transpose(0, 2, 1)
    fe = np.einsum("eq,eqai,eqi->ea", g_da, grad, t, optimize=True)
    n = len(xy)
    rows = np.repeat(conn, 6, axis=1).ravel()
    cols = np.tile(conn, (1, 6)).ravel()
    k = scipy.sparse.csc_matrix((ke.ravel(), (rows, cols)), shape=(n, n))
    f = np.bincount(conn.ravel(), weights=fe.ravel(), minlength=n)
    # w is fixed up to a constant: pinning node 0 keeps the matrix symmetric positive definite,
    # so SuperLU may keep its fill-reducing symmetric ordering and pivot on the diagonal.
    w = np.zeros(n)
    lu = scipy.sparse.linalg.splu(k[1:, 1:].tocsc(), permc_spec="MMD_AT_PLUS_A",
                                  diag_pivot_thresh=0.0, options={"SymmetricMode": True})
    w[1:] = lu.solve(f[1:])

    wq = np.einsum("qa,ea->eq", n_ref, w[conn], optimize=True)
    gw = np.einsum("eqai,ea->eqi", grad, w[conn], optimize=True)
    gj = (g_da * ((gw - t) ** 2).sum(axis=-1)).sum()

    # Trefftz: E-weighted least-squares fit of w by a y' + b z' + c.
    basis = np.stack([y - yc, z - zc, np.ones_like(y)], axis=-1)
    m = np.einsum("eq,eqi,eqj->ij", e_da, basis, basis, optimize=True)
    rhs = np.einsum("eq,eqi,eq->i", e_da, basis, wq, optimize=True)
    a, b, c = np.linalg.solve(m, rhs)
    omega = wq - (a * (y - yc) + b * (z - zc) + c)
    eiw = (e_da * omega**2).sum()
    return {
        "nodes": int(n), "elements": int(len(conn)), "area_mm2": float(area),
        "centroid_y_mm": float(yc), "centroid_z_mm": float(zc),
        "gj_n_mm2": float(gj), "j_mm4": float(gj / G_STEEL),
        "eiw_n_mm4": float(eiw), "iw_mm6": float(eiw / E_STEEL),
        "shear_centre_y_mm": float(y0 - b), "shear_centre_z_mm": float(z0 + a),
    }


def richardson(sizes, values):
    """Extrapolates the finest three (size, value) pairs to size 0, assuming value = v0 + C h^p
    and solving for p. Falls back to the finest value when the three do not converge
    monotonically (then the differences are at round-off or the order cannot be told)."""
    (h1, v1), (h2, v2), (h3, v3) = sorted(zip(sizes, values), reverse=True)[-3:]
    d12, d23 = v1 - v2, v2 - v3
    scale = max(abs(v3), 1e-300)
    if d12 * d23 <= 0 or abs(d23) < 1e-13 * scale:
        return v3, None
    ratio = d12 / d23

    def mismatch(p):
        return (h1**p - h2**p) / (h2**p - h3**p) - ratio

    try:
        p = scipy.optimize.brentq(mismatch, 0.05, 20)
    except ValueError:
        return v3, None
    coeff = d23 / (h2**p - h3**p)
    return v3 - coeff * h3**p, p


def run_shape(shape, sizes, repeat, out=sys.stdout):
    rule = gmsh.model.mesh.getIntegrationPoints(TRIANGLE6, "Gauss6")
    local, weights = rule
    local = np.asarray(local).reshape(-1, 3)
    rule = ((local[:, 0], local[:, 1]), np.asarray(weights))
    rows = []
    for size in sizes:
        gmsh.clear()
        materials = build_geometry(shape, size)
        mesh_times = [mesh_once() for _ in range(repeat)]
        solve_times = []
        for _ in range(repeat):
            start = time.perf_counter()
            result = solve(materials, rule)
            solve_times.append(time.perf_counter() - start)
        row = {"shape": shape, "mesh_size_mm": size, **result,
               "mesh_s": statistics.median(mesh_times),
               "solve_s": statistics.median(solve_times)}
        row["total_s"] = row["mesh_s"] + row["solve_s"]
        rows.append(row)
        print(f"  {shape} h={size} mm: {row['nodes']} nodes, J={row['j_mm4']:.8g}", file=out,
              flush=True)

    converged = {}
    hs = [r["mesh_size_mm"] for r in rows]
    for key in ("gj_n_mm2", "j_mm4", "eiw_n_mm4", "iw_mm6", "shear_centre_y_mm",
                "shear_centre_z_mm", "area_mm2"):
        if len(rows) >= 3:
            value, order = richardson(hs, [r[key] for r in rows])
        else:
            value, order = rows[-1][key], None
        converged[key] = value
        converged[key + "_order"] = order
    return {"rows": rows, "converged": converged, "exact": EXACT.get(shape, {}),
            "published": PUBLISHED.get(shape, {})}


def rel(value, reference):
    if reference == 0:
        return float("nan")
    return (value - reference) / reference


def rel_column(value, reference, negligible):
    # The disc's Iw is zero: its computed values are round-off, and errors relative to them
    # mean nothing.
    if abs(reference) <= negligible:
        return f"{'-':>10}"
    return f"{rel(value, reference):>10.2e}"


def print_table(shape, data, repeat, out=sys.stdout):
    rows, conv = data["rows"], data["converged"]
    exact = data["exact"]
    unit_note = " (relative to steel)" if shape == "composite" else ""
    print(f"\n{shape}: J in mm^4, Iw in mm^6{unit_note}; times are medians of {repeat} runs "
          "(single-threaded)", file=out)
    head = (f"{'h mm':>6} {'nodes':>8} {'J':>14} {'Iw':>14} {'dJ/J':>10} {'dIw/Iw':>10} "
            f"{'mesh s':>8} {'solve s':>8} {'total s':>8}")
    if "j_mm4" in exact:
        head += f" {'J vs exact':>11}"
    print(head, file=out)
    negligible_iw = 1e-9 * abs(conv["j_mm4"] * conv["area_mm2"])
    for r in rows:
        line = (f"{r['mesh_size_mm']:>6g} {r['nodes']:>8d} {r['j_mm4']:>14.8g} "
                f"{r['iw_mm6']:>14.8g} {rel(r['j_mm4'], conv['j_mm4']):>10.2e} "
                f"{rel_column(r['iw_mm6'], conv['iw_mm6'], negligible_iw)} {r['mesh_s']:>8.3f} "
                f"{r['solve_s']:>8.3f} {r['total_s']:>8.3f}")
        if "j_mm4" in exact:
            line += f" {rel(r['j_mm4'], exact['j_mm4']):>11.2e}"
        print(line, file=out)

    def order(key):
        p = conv[key + "_order"]
        return f"observed order {p:.2f}" if p is not None else "finest value, no extrapolation"

    print("converged (Richardson over the finest three sizes):", file=out)
    print(f"  GJ  = {conv['gj_n_mm2']:.9g} N mm^2   J = {conv['j_mm4']:.9g} mm^4  "
          f"({order('j_mm4')})", file=out)
    print(f"  EIw = {conv['eiw_n_mm4']:.9g} N mm^4  Iw = {conv['iw_mm6']:.9g} mm^6  "
          f"({order('iw_mm6')})", file=out)
    print(f"  shear centre (y, z) = ({conv['shear_centre_y_mm']:.9g}, "
          f"{conv['shear_centre_z_mm']:.9g}) mm; E-weighted centroid z = "
          f"{rows[-1]['centroid_z_mm']:.6g} mm; area = {conv['area_mm2']:.8g} mm^2", file=out)
    for name, refs in (("exact", exact), ("published", data["published"])):
        for key, value in refs.items():
            if key in conv:
                print(f"  {key} vs {name} {value:.9g}: converged {rel(conv[key], value):+.2e}, "
                      f"finest {rel(rows[-1][key], value):+.2e}"
                      if value else
                      f"  {key} vs {name} 0: converged {conv[key]:.3g}, finest "
                      f"{rows[-1][key]:.3g}", file=out)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--shape", default="all",
                        choices=["ipe300", "composite", "disc", "rectangle", "all"])
    parser.add_argument("--json", metavar="OUT", help="write the tables and converged values")
    parser.add_argument("--sizes", help="mesh sizes in mm, comma separated")
    parser.add_argument("--repeat", type=int, default=5, help="timed runs per size (median)")
    args = parser.parse_args(argv)
    if args.repeat < 1:
        parser.error("--repeat must be at least 1")
    shapes = ["disc", "rectangle", "ipe300", "composite"] if args.shape == "all" else [args.shape]
    sizes = None
    if args.sizes:
        try:
            sizes = sorted({float(s) for s in args.sizes.split(",") if s.strip()}, reverse=True)
        except ValueError:
            parser.error("--sizes takes numbers separated by commas")
        if not sizes or any(not math.isfinite(s) or s <= 0 for s in sizes):
            parser.error("--sizes must be positive numbers")

    gmsh.initialize(readConfigFiles=False)
    try:
        gmsh.option.setNumber("General.Terminal", 1)
        gmsh.option.setNumber("General.Verbosity", 2)  # errors and warnings only
        gmsh.option.setNumber("General.NumThreads", 1)
        gmsh.option.setNumber("Mesh.MaxNumThreads2D", 1)
        results = {}
        for shape in shapes:
            results[shape] = run_shape(shape, sizes or DEFAULT_SIZES[shape], args.repeat)
    finally:
        gmsh.finalize()

    for shape, data in results.items():
        print_table(shape, data, args.repeat)
    if args.json:
        document = {
            "method": "P2 isoparametric triangles (gmsh), sparse LU, Richardson over the finest "
                      "three sizes",
            "axes": "y to the right, z up, mm",
            "e_steel_n_mm2": E_STEEL, "e_concrete_n_mm2": E_CONCRETE, "nu": NU,
            "timing": f"median of {args.repeat} runs, single-threaded",
            "shapes": results,
        }
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(document, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
