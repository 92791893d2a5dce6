"""A short tour of ostrel_geometry."""
import ostrel_geometry as og
from ostrel_geometry import utils

print("ostrel_geometry", og.__version__)
print("ring runs clockwise:", utils.is_clockwise([[0, 0], [0, 1], [1, 1]]))
