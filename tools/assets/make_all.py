#!/usr/bin/python3
"""Regenerates every image asset under data/images/ and the point sets.

    /usr/bin/python3 tools/assets/make_all.py
"""

import make_caustics
import make_credits
import make_font
import make_font2
import make_icon
import make_logo
import make_point_sets
import make_rock

for module in (make_logo, make_credits, make_font, make_font2, make_rock, make_caustics, make_icon):
    module.main()
make_point_sets.main([])
