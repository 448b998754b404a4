#!/usr/bin/python3
"""usage: display_profile.py

Publishes on the X display's root window (_ICC_PROFILE, as colour managers
do) a display profile whose red and blue primaries are swapped, so that a
program converting sRGB to it draws red as blue. The property stays while
the X server runs (the tests' Xvfb runs with -noreset).
"""
import ctypes
import sys

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]


def swapped_profile():
    lcms = ctypes.CDLL("liblcms2.so.2")

    class XyY(ctypes.Structure):
        _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double), ("Y", ctypes.c_double)]

    lcms.cmsBuildGamma.restype = ctypes.c_void_p
    lcms.cmsBuildGamma.argtypes = [ctypes.c_void_p, ctypes.c_double]
    lcms.cmsCreateRGBProfile.restype = ctypes.c_void_p
    lcms.cmsCreateRGBProfile.argtypes = [ctypes.POINTER(XyY), ctypes.POINTER(XyY * 3),
                                         ctypes.POINTER(ctypes.c_void_p * 3)]
    lcms.cmsSaveProfileToMem.argtypes = [ctypes.c_void_p, ctypes.c_void_p,
                                         ctypes.POINTER(ctypes.c_uint32)]
    white = XyY(0.3127, 0.3290, 1.0)
    # sRGB's primaries with red and blue exchanged.
    primaries = (XyY * 3)(XyY(0.15, 0.06, 1.0), XyY(0.30, 0.60, 1.0), XyY(0.64, 0.33, 1.0))
    curve = lcms.cmsBuildGamma(None, 2.2)
    curves = (ctypes.c_void_p * 3)(curve, curve, curve)
    profile = lcms.cmsCreateRGBProfile(ctypes.byref(white), ctypes.byref(primaries),
                                       ctypes.byref(curves))
    size = ctypes.c_uint32(0)
    lcms.cmsSaveProfileToMem(ctypes.c_void_p(profile), None, ctypes.byref(size))
    buffer = ctypes.create_string_buffer(size.value)
    lcms.cmsSaveProfileToMem(ctypes.c_void_p(profile), buffer, ctypes.byref(size))
    return buffer.raw[:size.value]


display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no X display")
root = x11.XDefaultRootWindow(display)
atom = x11.XInternAtom(display, b"_ICC_PROFILE", 0)
icc = swapped_profile()
x11.XChangeProperty(display, root, atom, 6, 8, 0, icc, len(icc))  # XA_CARDINAL, replace
x11.XCloseDisplay(display)
