#!/usr/bin/env python3
"""Writes a C++ program that calls every function the installed headers
declare, so that linking it against the installed shared library proves each
one is exported (a declaration without a symbol fails the link).

Usage: calls.py INCLUDE_DIR OUT.cpp

The declarations come from clang's AST of a file that includes every header
of INCLUDE_DIR/cvsetup: free functions (C and C++), the public constructors,
destructors, methods and operators of the classes, and extern variables.
Function templates, deleted and compiler-made functions are left out. The
calls sit in a branch the program never takes; their arguments are made from
a null pointer of each parameter's type, so overloads resolve exactly.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

SKIP_KINDS = {"FunctionTemplateDecl", "ClassTemplateDecl", "FriendDecl", "UsingDecl"}


def file_tracker():
    # clang writes a location's file only where it differs from the one
    # written before, in document order: keep the last one seen.
    state = {"file": None}

    def see(node):
        if isinstance(node, dict):
            for key, value in node.items():
                if key == "file" and isinstance(value, str):
                    state["file"] = value
                elif key != "includedFrom":
                    see(value)
        elif isinstance(node, list):
            for item in node:
                see(item)

    return state, see


def top_level_decls(ast_text):
    """The nodes of the translation unit's "inner" list, one at a time."""
    decoder = json.JSONDecoder()
    pos = ast_text.index("[", ast_text.index('"inner"')) + 1
    gap = re.compile(r"[\s,]*")
    while True:
        pos = gap.match(ast_text, pos).end()
        if ast_text[pos] == "]":
            return
        node, pos = decoder.raw_decode(ast_text, pos)
        yield node


def params(node):
    return [p["type"]["qualType"] for p in node.get("inner", []) if p.get("kind") == "ParmVarDecl"]


def args(types):
    return ", ".join("cvArg<%s>()" % t for t in types)


class Collector:
    def __init__(self, include_dir):
        self.include_dir = include_dir
        self.calls = {}  # key -> statement
        self.state, self.see = file_tracker()

    def ours(self):
        f = self.state["file"]
        return f is not None and os.path.realpath(f).startswith(self.include_dir + os.sep)

    def add(self, key, statement):
        self.calls.setdefault(key, statement)

    def visit(self, node, scope):
        kind = node.get("kind")
        self.see(node.get("loc", {}))
        mine = self.ours()
        self.see({k: v for k, v in node.items() if k not in ("loc", "inner")})
        if kind in SKIP_KINDS or node.get("isImplicit") or node.get("explicitlyDeleted"):
            self.see(node.get("inner", []))
            return
        name = node.get("name", "")
        if kind in ("LinkageSpecDecl", "NamespaceDecl"):
            inner_scope = scope + name + "::" if kind == "NamespaceDecl" else scope
            for child in node.get("inner", []):
                self.visit(child, inner_scope)
            return
        if kind == "CXXRecordDecl" and node.get("completeDefinition") and mine:
            self.visit_class(node, scope + name)
            return
        self.see(node.get("inner", []))
        if not mine:
            return
        if kind == "FunctionDecl":
            types = params(node)
            self.add((scope + name, tuple(types)), "(void)%s%s(%s);" % (scope, name, args(types)))
        elif kind == "VarDecl" and node.get("storageClass") == "extern":
            self.add((scope + name,), "cvUse(&%s%s);" % (scope, name))

    def visit_class(self, node, cls):
        access = "private" if node.get("tagUsed") == "class" else "public"
        for member in node.get("inner", []):
            kind = member.get("kind")
            self.see(member)
            if kind == "AccessSpecDecl":
                access = member["access"]
                continue
            if access != "public" or member.get("isImplicit") or member.get("explicitlyDeleted"):
                continue
            name = member.get("name", "")
            types = params(member)
            key = (cls + "::" + name, tuple(types), member.get("type", {}).get("qualType", ""))
            if kind == "CXXConstructorDecl":
                self.add(key, "::new (cvNull) %s(%s);" % (cls, args(types)))
            elif kind == "CXXDestructorDecl":
                self.add(key, "cvObject<%s>().~%s();" % (cls, name.lstrip("~")))
            elif kind in ("CXXMethodDecl", "CXXConversionDecl"):
                if member.get("storageClass") == "static":
                    self.add(key, "(void)%s::%s(%s);" % (cls, name, args(types)))
                else:
                    const = member["type"]["qualType"].rstrip().endswith("const")
                    obj = "cvObject<const %s>()" % cls if const else "cvObject<%s>()" % cls
                    self.add(key, "(void)%s.%s(%s);" % (obj, name, args(types)))
            elif kind == "VarDecl":
                self.add((cls + "::" + name,), "cvUse(&%s::%s);" % (cls, name))


PROLOGUE = """// Generated by calls.py: a call of every function the installed headers
// declare, in a branch that is never taken; the link is the test.
%s
#include <new>
#include <type_traits>

static void* volatile cvNull = nullptr;
static const void* volatile cvSink = nullptr;

template <class T> static T cvArg()
{
    return static_cast<T>(*static_cast<typename std::remove_reference<T>::type*>(cvNull));
}
template <class T> static T& cvObject()
{
    return *static_cast<T*>(cvNull);
}
template <class T> static void cvUse(T* p)
{
    cvSink = reinterpret_cast<const void*>(p);
}

int main(int argc, char**)
{
    if (argc > 1000) {
"""


def main():
    include_dir = os.path.realpath(sys.argv[1])
    out_path = sys.argv[2]
    headers = sorted(h for h in os.listdir(os.path.join(include_dir, "cvsetup")) if h.endswith(".h"))
    includes = "".join("#include <cvsetup/%s>\n" % h for h in headers)
    with tempfile.NamedTemporaryFile("w", suffix=".cpp") as tu:
        tu.write(includes)
        tu.flush()
        ast = subprocess.run(["clang++", "-x", "c++", "-std=c++17", "-fsyntax-only", "-Xclang",
                              "-ast-dump=json", "-I", include_dir, tu.name],
                             check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout
    collector = Collector(include_dir)
    for node in top_level_decls(ast):
        collector.visit(node, "")
    calls = sorted(collector.calls.values())
    if not calls:
        sys.exit("calls.py: no declaration found below %s" % include_dir)
    with open(out_path, "w") as out:
        out.write(PROLOGUE % includes)
        for statement in calls:
            out.write("        %s\n" % statement)
        out.write("    }\n    return 0;\n}\n")
    print(len(calls))


if __name__ == "__main__":
    main()
