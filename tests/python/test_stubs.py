"""The type stubs and the docstrings against the module itself: every public name documented and
typed, with the module's parameters in the module's order, so that a function, keyword or
property added without its stub and its documentation fails here."""
import ast
import os
import pathlib
import re

import pytest

import quorvane

STUBS = pathlib.Path(__file__).resolve().parents[2] / "src" / "python" / "quorvane.pyi"
# Every object has a __repr__; the stubs leave it out. Other dunders (__len__, __getitem__)
# say how a class is used and belong in them.
UNSTUBBED = {"__repr__"}


def stub_scopes():
    """{None: module level, class name: its body}, each {name: [definitions]} (overloads are
    several definitions of one name); the stubs' own aliases (_Path) left out."""
    scopes = {}

    def collect(body, key):
        names = scopes.setdefault(key, {})
        for node in body:
            if isinstance(node, ast.ClassDef):
                names.setdefault(node.name, []).append(node)
                collect(node.body, node.name)
            elif isinstance(node, (ast.FunctionDef, ast.AnnAssign)):
                name = node.name if isinstance(node, ast.FunctionDef) else node.target.id
                if not name.startswith("_") or name.endswith("__"):
                    names.setdefault(name, []).append(node)

    collect(ast.parse(STUBS.read_text(encoding="utf-8")).body, None)
    return scopes


def members(cls):
    """The members the module defines on `cls`: {name: (function or property)}."""
    found = {}
    for name, member in vars(cls).items():
        if name in UNSTUBBED or (name.startswith("_") and not name.endswith("__")):
            continue
        if isinstance(member, property):
            found[name] = member
        elif (function := getattr(cls, name)).__doc__ and function.__doc__.startswith(name + "("):
            # pybind11's functions begin their docstring with their signature; a class without
            # a constructor inherits the default __init__, whose docstring does not.
            found[name] = function
    return found


def signature_and_text(function):
    """pybind11's signature heading a function's docstring, and the text below it."""
    head, _, text = function.__doc__.partition("\n")
    match = re.fullmatch(re.escape(function.__name__) + r"\((.*)\) -> .*", head)
    assert match, f"{function.__name__} has no pybind11 signature: {head!r}"
    return match.group(1), text.strip()


def parameters(signature):
    """[(name, keyword_only, default's text or None)] of a pybind11 signature, without self."""
    parts, depth, start, quote = [], 0, 0, None
    for i, char in enumerate(signature):
        if quote:
            quote = None if char == quote else quote
        elif char in "'\"":
            quote = char
        elif char in "([{":
            depth += 1
        elif char in ")]}":
            depth -= 1
        elif char == "," and depth == 0:
            parts.append(signature[start:i])
            start = i + 1
    parts.append(signature[start:])
    names, keyword_only = [], False
    for part in (p.strip() for p in parts if p.strip()):
        if part == "*":
            keyword_only = True
        elif (name := part.split(":")[0].split("=")[0].strip()) != "self":
            _, given, default = part.partition(" = ")
            names.append((name, keyword_only, default if given else None))
    return names


def stub_parameters(definition):
    """The same of a definition in the stubs, the default as its source text."""
    arguments = definition.args
    positional = arguments.posonlyargs + arguments.args
    defaults = [None] * (len(positional) - len(arguments.defaults)) + arguments.defaults
    ordered = [(a.arg, False, d) for a, d in zip(positional, defaults)]
    ordered += [(a.arg, True, d) for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)]
    return [(name, keyword_only, default and ast.unparse(default))
            for name, keyword_only, default in ordered if name != "self"]


def value_of(text):
    """A default's value where it is a literal (None, 1.0, 'flat'), else its text."""
    try:
        return ast.literal_eval(text)
    except (ValueError, SyntaxError):
        return text


def module_callables():
    """(qualified name, function, stub definitions) of every function and method."""
    scopes = stub_scopes()
    found = []
    for name in dir(quorvane):
        value = getattr(quorvane, name)
        if callable(value) and not isinstance(value, type):
            found.append((name, value, scopes[None].get(name, [])))
        elif isinstance(value, type) and not issubclass(value, BaseException):
            for member_name, member in members(value).items():
                if not isinstance(member, property):
                    found.append((f"{name}.{member_name}", member,
                                  scopes.get(name, {}).get(member_name, [])))
    return found


def test_the_stubs_name_what_the_module_exports():
    public = {n for n in dir(quorvane) if not n.startswith("_")} | {"__version__"}
    scopes = stub_scopes()
    assert set(scopes[None]) == public
    for name in public:
        value = getattr(quorvane, name)
        if isinstance(value, type):
            expected = set(members(value))
            assert set(scopes.get(name, {})) == expected, name
            for member_name in expected:
                stub_is_property = any(
                    isinstance(d, ast.Name) and d.id == "property"
                    for node in scopes[name][member_name] for d in node.decorator_list)
                assert stub_is_property == isinstance(vars(value)[member_name], property), (
                    f"{name}.{member_name}: a property in one, a method in the other")


def test_every_public_name_is_documented():
    for name in (n for n in dir(quorvane) if not n.startswith("_")):
        value = getattr(quorvane, name)
        if isinstance(value, type):
            assert (value.__doc__ or "").strip(), name
            for member_name, member in members(value).items():
                text = member.__doc__ if isinstance(member, property) else signature_and_text(member)[1]
                assert (text or "").strip(), f"{name}.{member_name}"


CALLABLES = module_callables()


@pytest.mark.parametrize("name, function, stubs", CALLABLES, ids=[c[0] for c in CALLABLES])
def test_the_stubs_take_the_modules_parameters(name, function, stubs):
    signature, text = signature_and_text(function)
    expected = parameters(signature)
    assert text, f"{name} has no docstring"
    assert stubs, f"{name} is not in the stubs"
    for stub in stubs:
        got = stub_parameters(stub)
        assert [p[0] for p in got] == [p[0] for p in expected], name
        # A keyword the module takes only by name must not be passed by position.
        assert {n for n, k, _ in expected if k} <= {n for n, k, _ in got if k}, name
        # A default the stubs show is the module's. (The stubs may leave one out where an
        # overload needs the argument, as analyse's sizes before `use`.)
        for (parameter, _, default), (_, _, stub_default) in zip(expected, got):
            if stub_default is not None:
                assert default is not None, f"{name}: {parameter} has no default"
                assert value_of(stub_default) == value_of(default), f"{name}: {parameter}"
    # The docstring describes every parameter by its name.
    for parameter, _, _ in expected:
        assert re.search(rf"\b{parameter}\b", text), f"{name} does not describe {parameter}"


def test_an_installed_package_carries_the_stubs():
    # tools/test_python_package.sh names the environment it installed the package into.
    environment = os.environ.get("QV_PACKAGE_ENVIRONMENT")
    if environment is None:
        pytest.skip("the module of the build tree, not an installed package")
    module = pathlib.Path(quorvane.__file__)
    assert module.is_relative_to(environment) and module.name.startswith("__init__."), module
    assert (module.parent / "__init__.pyi").read_text(encoding="utf-8") == STUBS.read_text(encoding="utf-8")
    assert (module.parent / "py.typed").is_file()
