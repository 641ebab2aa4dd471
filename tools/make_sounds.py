#!/usr/bin/env python3
"""Placeholder until the sound generator lands."""
import os, sys
os.makedirs(sys.argv[1], exist_ok=True)
for n in ("shoot.wav", "ggdeath.wav", "bgdeath.wav"):
    open(os.path.join(sys.argv[1], n), "wb").close()
