# Libraries that frame/ links privately, beyond SDL2 and LodePNG. Each layer that needs a
# Debian package finds it here and appends its imported target to VC_FRAME_LIBRARIES.
set(VC_FRAME_LIBRARIES "")
