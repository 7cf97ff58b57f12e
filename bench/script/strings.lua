-- Lua strings are immutable and s = s .. x copies; a buffer is the idiom.
local function work()
    local buf = {}
    for i = 1, 300000 do
        buf[#buf + 1] = "item" .. i .. ";"
    end
    return #table.concat(buf)
end

print(work())
