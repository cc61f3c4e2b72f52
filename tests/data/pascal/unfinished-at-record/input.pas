type
  TOpen = packed record
