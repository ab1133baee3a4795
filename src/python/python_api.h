// Includes Python.h restricted to the stable ABI of Python 3.11, so that one
// built module serves every 3.11+ interpreter.
#pragma once

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x030B0000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>
