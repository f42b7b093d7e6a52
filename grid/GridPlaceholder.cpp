// replaced by the grid cells
