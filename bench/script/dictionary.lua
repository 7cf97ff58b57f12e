local function work()
    local d, n = {}, 0
    for i = 1, 200000 do
        local key = "k" .. i
        if d[key] ~= nil then error("duplicate " .. key) end
        d[key] = i
        n = n + 1
    end
    local s = 0
    for i = 1, 200000 do
        s = s + d["k" .. i]
    end
    local c = 0
    for i = 1, 400000, 2 do
        if d["k" .. i] ~= nil then c = c + 1 end
    end
    return s + c + n
end

print(string.format("%d", work()))
