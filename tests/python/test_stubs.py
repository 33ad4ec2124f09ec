"""The type stubs beside every module describe what the module holds: the same public names, the
same methods on each class, Analytics' parameters as inspect sees them; every function has a
docstring."""

import ast
import importlib
import inspect
from pathlib import Path

import pytest

import korvexmodules

PACKAGE = Path(korvexmodules.__file__).parent


def stub_of(name):
    return ast.parse((PACKAGE / f"{name}.pyi").read_text())


def public(names):
    return {n for n in names if not n.startswith("_")}


def stub_classes(tree):
    return {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}


def stub_members(classes, name):
    """The names a stub class declares, its stub bases' included."""
    node = classes[name]
    names = {item.name for item in node.body if isinstance(item, (ast.FunctionDef, ast.ClassDef))}
    names |= {item.target.id for item in node.body if isinstance(item, ast.AnnAssign)}
    names |= {target.id for item in node.body if isinstance(item, ast.Assign) for target in item.targets}
    for base in node.bases:
        if isinstance(base, ast.Name) and base.id in classes:
            names |= stub_members(classes, base.id)
    return names


def own_members(cls):
    """The names the class and its korvexmodules bases define (not object's, int's, ...)."""
    return {name for base in cls.__mro__ if base.__module__.startswith("korvexmodules") for name in vars(base)}


def test_package_is_typed():
    assert (PACKAGE / "py.typed").exists()


@pytest.mark.parametrize("name", korvexmodules.__all__)
def test_stub_lists_the_module_names(name):
    module = importlib.import_module(f"korvexmodules.{name}")
    tree = stub_of(name)
    declared = {node.name for node in tree.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    assert public(declared) == public(vars(module)) - {"korvexmodules"}
    classes = stub_classes(tree)
    for class_name in public(declared) & set(classes):
        runtime = getattr(module, class_name)
        members = stub_members(classes, class_name)
        assert public(own_members(runtime)) <= members | {"name", "value"}, class_name  # enum members
        methods = {item.name for item in classes[class_name].body if isinstance(item, ast.FunctionDef)}
        assert public(methods) <= set(dir(runtime)), class_name


def test_analytics_signatures_match_the_stub():
    from korvexmodules import Analytics
    functions = {}
    for node in stub_of("Analytics").body:
        if isinstance(node, ast.FunctionDef):
            functions.setdefault(node.name, [a.arg for a in node.args.args])
    for name, parameters in functions.items():
        function = getattr(Analytics, name)
        assert list(inspect.signature(function).parameters) == parameters
        assert function.__doc__.strip()


@pytest.mark.parametrize("name", ["Analytics", "Market", "Pricing"])
def test_every_function_has_a_docstring(name):
    module = importlib.import_module(f"korvexmodules.{name}")
    for attribute in public(vars(module)):
        value = getattr(module, attribute)
        assert value.__doc__ and value.__doc__.strip(), attribute
        for member in public(vars(value)) if isinstance(value, type) else ():
            method = getattr(value, member)
            if callable(method):
                assert method.__doc__ and method.__doc__.strip(), f"{attribute}.{member}"
