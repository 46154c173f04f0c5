import os
from typing import Any, Optional, Union

def triangulate(points: Any, *, tile_points: int = ..., out: Optional[Union[str, os.PathLike]] = ...) -> Any: ...
